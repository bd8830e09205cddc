#include "shell/KeptChangesNotices.h"

#include "core/SettingsKeys.h"
#include "platform/FileLock.h"
#include "platform/UserDefaults.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace tanvill {

bool changeKeptChangesNotices(UserDefaults &settings,
                              const std::function<void(QStringList &)> &change,
                              const std::function<void()> &whileWaiting)
{
    const QString lockPath = settings.filePath() + QStringLiteral(".notices.lock");
    QDir().mkpath(QFileInfo(lockPath).path());
    FileLock lock;
    QString error;
    FileLock::Result locked = lock.tryLock(lockPath, 0600, true, &error);
    if (locked == FileLock::Result::Held) {
        if (whileWaiting)
            whileWaiting();
        locked = lock.lock(lockPath, 0600, true, kKeptChangesNoticesWaitMs, &error);
    }
    if (locked == FileLock::Result::Held)
        qWarning().noquote() << "Another copy of Tanvill is slow to write the notices of kept "
                                "changes; this one writes them without waiting longer.";
    else if (locked == FileLock::Result::Failed)
        qWarning().noquote() << "The notices of kept changes are written without a lock:" << error;

    settings.sync();
    QStringList files = settings.value(SettingsKeys::KeptUnsavedChanges).toStringList();
    files.removeAll(QString());
    const QStringList before = files;
    change(files);
    if (files == before)
        return true;
    if (files.isEmpty())
        settings.remove(SettingsKeys::KeptUnsavedChanges);
    else
        settings.setValue(SettingsKeys::KeptUnsavedChanges, files);
    return settings.sync();
}

} // namespace tanvill
