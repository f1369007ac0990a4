# The libraries a command-line program links must reach Qt Core only: no Qt
# Gui and no Qt Widgets anywhere in their link closure. Each word is a folder
# under src/ built as the library dravelin_<folder>; folders not present yet
# are skipped, so a new Core-only layer is one more word in this list.
set(DRAVELIN_CORE_ONLY_LAYERS base ui settings data workspace reports sync cli)

# Link items that a Core-only library must not reach: the Qt Gui and Qt
# Widgets targets (private parts included) and their library files.
set(DRAVELIN_GUI_TARGET_REGEX "^Qt6?::(Gui|Widgets)")
set(DRAVELIN_GUI_FILE_REGEX "(^|[/ ]|-l)(lib)?Qt6(Gui|Widgets)")

# The link items an item names directly: what a target links publicly and
# privately, what an alias stands for; generator expressions count with every
# target name they mention, whatever their condition.
function(_dravelin_direct_links item out)
  set(links)
  if(TARGET ${item})
    get_target_property(aliased ${item} ALIASED_TARGET)
    if(aliased)
      list(APPEND links ${aliased})
    endif()
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(libraries ${item} ${property})
      if(libraries)
        list(APPEND links ${libraries})
      endif()
    endforeach()
  endif()
  set(result)
  foreach(link IN LISTS links)
    if(link MATCHES "\\$<")
      string(REGEX MATCHALL "[A-Za-z0-9_.+-]+::[A-Za-z0-9_.+-]+|dravelin_[A-Za-z0-9_]+" names "${link}")
      list(APPEND result ${names})
    elseif(link)
      list(APPEND result ${link})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Stops the configuration when a source of the Core-only library root includes
# the UI seam, which lives with the windows: the core reports by results and
# AppError, and never asks the user itself.
function(_dravelin_check_no_ui_seam root)
  get_target_property(sources ${root} SOURCES)
  get_target_property(dir ${root} SOURCE_DIR)
  if(NOT sources)
    return()
  endif()
  foreach(source IN LISTS sources)
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${dir}" OUTPUT_VARIABLE path)
    if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
      continue()
    endif()
    file(STRINGS "${path}" seam REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]UiServices\\.h[>\"]")
    if(seam)
      message(FATAL_ERROR "${root} must not talk to the user, but ${source} includes UiServices.h")
    endif()
  endforeach()
endfunction()

# Stops the configuration when a Core-only library reaches Qt Gui or Qt
# Widgets, naming the chain of links that leads there, or includes the UI
# seam.
function(dravelin_check_core_only_layers)
  set(checked 0)
  foreach(layer IN LISTS DRAVELIN_CORE_ONLY_LAYERS)
    set(root dravelin_${layer})
    if(NOT TARGET ${root})
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    _dravelin_check_no_ui_seam(${root})
    set(queue ${root})
    set(seen ${root})
    string(MAKE_C_IDENTIFIER "${root}" key)
    set(chain_${key} ${root})
    while(queue)
      list(POP_FRONT queue current)
      string(MAKE_C_IDENTIFIER "${current}" key)
      set(chain "${chain_${key}}")
      if(current MATCHES "${DRAVELIN_GUI_TARGET_REGEX}"
         OR (NOT TARGET ${current} AND current MATCHES "${DRAVELIN_GUI_FILE_REGEX}"))
        string(REPLACE ";" " -> " shown "${chain}")
        message(FATAL_ERROR "${root} must link Qt Core only, but reaches ${current}: ${shown}")
      endif()
      _dravelin_direct_links("${current}" links)
      foreach(link IN LISTS links)
        if(NOT link IN_LIST seen)
          list(APPEND seen ${link})
          list(APPEND queue ${link})
          string(MAKE_C_IDENTIFIER "${link}" key)
          set(chain_${key} ${chain} ${link})
        endif()
      endforeach()
    endwhile()
  endforeach()
  message(STATUS "Core-only libraries checked: ${checked}")
endfunction()
