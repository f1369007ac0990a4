#include "TFieldBinder.h"

#include "AppError.h"
#include "Formats.h"
#include "TTable.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

void TFieldBinder::Bind(const QString &field, QLineEdit *edit)
{
    if (const int index = table_->FieldIndex(field);
        index >= 0 && table_->FieldDefs()[index].type == ftString)
        edit->setMaxLength(table_->FieldDefs()[index].size);
    bindings_.append({field, edit});
}

void TFieldBinder::Bind(const QString &field, QPlainTextEdit *memo)
{
    bindings_.append({field, memo});
}

void TFieldBinder::Bind(const QString &field, QComboBox *combo)
{
    if (const int index = table_->FieldIndex(field); index >= 0 && combo->lineEdit())
        combo->lineEdit()->setMaxLength(table_->FieldDefs()[index].size);
    bindings_.append({field, combo});
}

QList<QWidget *> TFieldBinder::Widgets() const
{
    QList<QWidget *> widgets;
    for (const Binding &binding : bindings_)
        widgets.append(binding.widget);
    return widgets;
}

void TFieldBinder::Load()
{
    for (const Binding &binding : bindings_) {
        const QSignalBlocker blocker(binding.widget);
        SetWidgetText(binding.widget, table_->FieldByName(binding.field).AsString());
    }
}

void TFieldBinder::Load(const QString &field)
{
    if (const Binding *binding = Find(field)) {
        const QSignalBlocker blocker(binding->widget);
        SetWidgetText(binding->widget, table_->FieldByName(field).AsString());
    }
}

void TFieldBinder::Store()
{
    for (const Binding &binding : bindings_) {
        // A fixed list showing no item keeps the value it could not show.
        if (const auto *combo = qobject_cast<const QComboBox *>(binding.widget);
            combo && !combo->isEditable() && combo->currentIndex() < 0)
            continue;
        TField field = table_->FieldByName(binding.field);
        QString text = WidgetText(binding.widget);
        if (field.Def().type == ftDate || field.Def().type == ftTime)
            text = text.trimmed();
        if (text != field.AsString())
            field.SetAsString(text);
    }
}

QWidget *TFieldBinder::Invalid(QString *message) const
{
    for (const Binding &binding : bindings_) {
        const QString text = WidgetText(binding.widget).trimmed();
        if (text.isEmpty())
            continue;
        const TFieldType type = table_->FieldDefs()[table_->FieldIndex(binding.field)].type;
        QString problem;
        if (type == ftDate && !ParseDate(text).isValid())
            problem = QStringLiteral("'%1' is not a valid date").arg(text);
        else if (type == ftTime && !ParseTime(text).isValid())
            problem = QStringLiteral("'%1' is not a valid time").arg(text);
        if (problem.isEmpty())
            continue;
        for (const auto &[field, name] : names_) {
            if (field == binding.field && !name.isEmpty()) {
                problem += QStringLiteral(" for \"%1\"").arg(name);
                break;
            }
        }
        *message = problem;
        return binding.widget;
    }
    return nullptr;
}

const TFieldBinder::Binding *TFieldBinder::Find(const QString &field) const
{
    for (const Binding &binding : bindings_) {
        if (binding.field == field)
            return &binding;
    }
    return nullptr;
}

QWidget *TFieldBinder::Widget(const QString &field) const
{
    const Binding *binding = Find(field);
    return binding ? binding->widget : nullptr;
}

QString TFieldBinder::Field(const QWidget *widget) const
{
    for (const Binding &binding : bindings_) {
        if (binding.widget == widget)
            return binding.field;
    }
    return QString();
}

QString TFieldBinder::Text(const QString &field) const
{
    const Binding *binding = Find(field);
    return binding ? WidgetText(binding->widget) : table_->FieldByName(field).AsString();
}

void TFieldBinder::SetText(const QString &field, const QString &text)
{
    if (const Binding *binding = Find(field))
        SetWidgetText(binding->widget, text);
    else
        table_->FieldByName(field).SetAsString(text);
}

QString TFieldBinder::WidgetText(const QWidget *widget)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (const auto *memo = qobject_cast<const QPlainTextEdit *>(widget))
        return memo->toPlainText();
    if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->currentText();
    return QString();
}

void TFieldBinder::SetWidgetText(QWidget *widget, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setText(text);
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
        memo->setPlainText(text);
    else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        if (combo->isEditable())
            combo->setEditText(text);
        else
            combo->setCurrentIndex(combo->findText(text));
    }
}
