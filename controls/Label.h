#pragma once

#include <QLabel>

namespace tanvill {

// The one-line text of rows, headers, detail windows and sheets. It never edits and draws no
// frame or background, shows its text as plain text only and, while `truncateString` is on,
// shortens the text from the end with "…" to fit its width. Used by nearly every window.
class Label : public QLabel
{
    Q_OBJECT
public:
    explicit Label(QWidget *parent = nullptr);
    explicit Label(const QString &text, QWidget *parent = nullptr);

    // The text as shown, possibly shortened; `fullString()` is the text last given.
    QString stringValue() const { return text(); }
    void setStringValue(const QString &text);
    QString fullString() const { return m_originalString; }
    // The same as setStringValue: a text given through the base class's setter would be
    // replaced by the previous full text at the next resize.
    void setText(const QString &text) { setStringValue(text); }

    bool truncateString() const { return m_truncateString; }
    void setTruncateString(bool truncate);

    // Prefers the whole text but may be squeezed to nothing while it shortens its text.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString truncate(const QString &text) const;
    void refresh();

    QString m_originalString;
    bool m_truncateString = true;
};

} // namespace tanvill
