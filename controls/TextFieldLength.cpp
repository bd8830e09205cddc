#include "controls/TextFieldLength.h"

#include <QLineEdit>

namespace tanvill {

void limitTextLength(QLineEdit *field, qsizetype limit)
{
    field->setMaxLength(int(limit));
    QObject::connect(field, &QLineEdit::textEdited, field, [field] {
        const QString text = field->text();
        QString whole;
        whole.reserve(text.size());
        int cursor = field->cursorPosition();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            const bool paired = c.isHighSurrogate()
                ? i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                : !c.isLowSurrogate() || (i > 0 && text.at(i - 1).isHighSurrogate());
            if (paired)
                whole.append(c);
            else if (i < cursor)
                --cursor;
        }
        if (whole.size() == text.size())
            return;
        field->setText(whole);
        field->setCursorPosition(cursor);
    });
}

} // namespace tanvill
