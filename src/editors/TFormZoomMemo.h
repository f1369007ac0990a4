#pragma once

#include <QDialog>

class QAction;
class QPlainTextEdit;
class QPushButton;
class TGlobalTempFiles;
class TTable;

// A larger window on one long text field of the current record of any table.
// It neither posts nor cancels: the text goes into the record buffer when the
// window closes and becomes part of the caller's pending insert or edit,
// which the caller saves or discards as usual. Read-only, it only shows the
// text.
class TFormZoomMemo : public QDialog {
    Q_OBJECT
public:
    // tempFiles: where the text file that Print writes is made.
    TFormZoomMemo(QWidget *owner, TGlobalTempFiles &tempFiles, const QString &caption, const QString &field,
                  TTable *table, bool readOnly = false);

    QPlainTextEdit *MemoZoom = nullptr;
    QPushButton *ButtonClose = nullptr;
    QAction *ActionPrint = nullptr;

    void done(int result) override;

private:
    void StoreText();

    TGlobalTempFiles &tempFiles_;
    QString field_;
    TTable *table_;
    bool readOnly_;
};

// Writes text followed by CR LF, as UTF-8, into a new temporary "txt" file of
// this run and returns its name; throws AppError when it cannot be written.
QString WriteMemoTextFile(TGlobalTempFiles &tempFiles, const QString &text);
