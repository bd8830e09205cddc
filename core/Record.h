#pragma once

// The common ground of the stored records (App, List, Screenshot): the context that owns
// them, a row id that never changes, and the deleted mark. A deleted record stays in memory
// (so a window still holding it cannot crash), reads as it was, and ignores every write.

#include <QtGlobal>

namespace tanvill {

class ObjectContext;

class Record
{
public:
    virtual ~Record() = default;
    Record(const Record &) = delete;
    Record &operator=(const Record &) = delete;

    qint64 objectId() const { return m_objectId; }
    bool isDeleted() const { return m_deleted; }
    ObjectContext *context() const { return m_context; }

protected:
    Record(ObjectContext *context, qint64 objectId) : m_context(context), m_objectId(objectId) { }

    // Assigns and marks the record changed when the value differs; ignored once deleted.
    template<typename T, typename U> void assign(T &field, U &&value)
    {
        if (m_deleted || field == value)
            return;
        field = std::forward<U>(value);
        markChanged();
    }
    virtual void markChanged() = 0;

private:
    friend class ObjectContext;

    ObjectContext *m_context;
    qint64 m_objectId;
    bool m_deleted = false;
};

} // namespace tanvill
