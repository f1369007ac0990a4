#pragma once

#include <QList>
#include <QString>
#include <utility>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class TTable;

// Binds edit widgets to the fields of a table's current record. The widgets
// hold the pending values while the window is open: Load shows the record,
// Store writes the widgets back into the record buffer before it is posted.
// Dates are typed as dd/mm/yyyy and times as hh:mm:ss; an empty widget is a
// null field.
class TFieldBinder {
public:
    explicit TFieldBinder(TTable *table) : table_(table) {}

    TTable *Table() const { return table_; }

    void Bind(const QString &field, QLineEdit *edit);
    void Bind(const QString &field, QPlainTextEdit *memo);
    void Bind(const QString &field, QComboBox *combo);
    // The name a message uses for the field, as its label shows it.
    void SetName(const QString &field, const QString &name) { names_.append({field, name}); }

    // Shows the current record; widgets send no change signals meanwhile.
    void Load();
    // Shows one field of the current record.
    void Load(const QString &field);
    // Writes every widget whose text differs from its field; the table must
    // be in edit or insert state. Throws AppError on text that does not fit
    // its field's type: call Invalid first to catch that with a message.
    void Store();
    // The first widget whose text is no valid date or time for its field,
    // with the message for the user, which names the field when it has a
    // name; null when all texts fit.
    QWidget *Invalid(QString *message) const;

    QWidget *Widget(const QString &field) const;
    QList<QWidget *> Widgets() const;
    // The field a widget is bound to; empty when it is bound to none.
    QString Field(const QWidget *widget) const;
    QString Text(const QString &field) const;
    void SetText(const QString &field, const QString &text);

private:
    struct Binding {
        QString field;
        QWidget *widget;
    };
    const Binding *Find(const QString &field) const;
    static QString WidgetText(const QWidget *widget);
    static void SetWidgetText(QWidget *widget, const QString &text);

    TTable *table_;
    QList<Binding> bindings_;
    QList<std::pair<QString, QString>> names_;
};
