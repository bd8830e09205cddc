#pragma once

// Launch at login: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/com.tanvill.Tanvill.desktop,
// that starts the installed program when the user logs in. The preferences' General pane turns
// it on and off; tests point it at a folder and a program of their own.

#include "platform/Error.h"

#include <QString>

#include <optional>

namespace tanvill {

class LoginItem
{
public:
    // Error codes, in the domain "com.tanvill.Tanvill.LoginItem".
    enum ErrorCode { CannotWrite = 1, CannotRemove = 2 };

    // The user's autostart folder and the running executable.
    LoginItem();
    LoginItem(QString autostartFolder, QString programPath);

    static QString defaultAutostartFolder();

    // The autostart entry's path.
    QString filePath() const;

    // Whether the entry exists and is not hidden (an entry with Hidden=true is switched off).
    bool isEnabled() const;

    // Writes the entry (on) or removes it (off). Removing an entry that does not exist
    // succeeds. On failure nothing changes and the error names the file and the reason.
    std::optional<Error> setEnabled(bool enabled);

    // The Exec value that runs program: quoted when it holds a space or another reserved
    // character, with the escapes of a desktop entry.
    static QString execValue(const QString &program);

private:
    std::optional<Error> writeEntry() const;
    std::optional<Error> removeEntry() const;
    Error makeError(int code, const QString &reason) const;

    QString m_folder;
    QString m_program;
};

} // namespace tanvill
