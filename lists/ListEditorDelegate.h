#pragma once

#include <QString>

namespace tanvill {

class List;
class ListEditor;

// Posted (with no sender and no user info) by a list editor as it closes, after it stored the
// edited name; the header pager refreshes its page dots on it. A new-list sheet posts nothing.
inline const QString ListEditorDidUpateListNotification
    = QStringLiteral("Tanvill.ListEditorDidUpateListNotification");

// How a list editor or new-list sheet tells its presenter that it opened, closed and changed
// the list. The header page implements all three, the main window the first two.
class ListEditorDelegate
{
public:
    virtual ~ListEditorDelegate() = default;

    // After the editor came on screen.
    virtual void listEditorDidAppear(ListEditor *editor) = 0;
    // After it went, however it closed.
    virtual void listEditorDidDisappear(ListEditor *editor) = 0;
    // After each change of the name or colour, and when a cleared name is put back on close.
    virtual void listEditorDidEditList(ListEditor *, List *) { }
};

} // namespace tanvill
