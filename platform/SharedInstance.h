#pragma once

// The one instance of a service that the rest of the process finds through an accessor such
// as UserDefaults::standard(). Accessors never make an instance: the application's
// composition root (shell/Services) makes each service in order and shares it while it
// lives, and a test shares the instances it made itself. Used on the UI thread only.

#include <QtGlobal>

#include <memory>

namespace tanvill {

template<class Service> class SharedInstance
{
public:
    // The shared instance; stops the program, naming `accessor`, when there is none, as
    // using a service before the application made it is a programming error.
    static Service &get(const char *accessor)
    {
        if (!s_instance)
            qFatal("%s: the service is used before the application made it", accessor);
        return *s_instance;
    }
    // The shared instance, or null.
    static Service *find() { return s_instance; }

private:
    template<class> friend class SharedRegistration;
    inline static Service *s_instance = nullptr;
};

// Shares `instance` for the life of this object. Registrations of one service nest: the
// newest is found until it ends, then the one before it again.
template<class Service> class SharedRegistration
{
public:
    explicit SharedRegistration(Service *instance)
        : m_instance(instance), m_previous(SharedInstance<Service>::s_instance)
    {
        SharedInstance<Service>::s_instance = instance;
    }
    ~SharedRegistration()
    {
        if (SharedInstance<Service>::s_instance == m_instance)
            SharedInstance<Service>::s_instance = m_previous;
    }
    SharedRegistration(const SharedRegistration &) = delete;
    SharedRegistration &operator=(const SharedRegistration &) = delete;

private:
    Service *m_instance;
    Service *m_previous;
};

// Owns a service and shares it while it holds it: the instance stops being shared before it
// is destroyed. The composition root and the tests keep their services in these.
template<class Service> class SharedOwner
{
public:
    SharedOwner() = default;
    ~SharedOwner() { reset(); }
    SharedOwner(const SharedOwner &) = delete;
    SharedOwner &operator=(const SharedOwner &) = delete;

    // Shares `instance` (after ending the one held before) and returns it.
    template<class Made> Made &reset(std::unique_ptr<Made> instance)
    {
        reset();
        Made &made = *instance;
        m_instance = std::move(instance);
        m_registration = std::make_unique<SharedRegistration<Service>>(m_instance.get());
        return made;
    }
    void reset()
    {
        m_registration.reset();
        m_instance.reset();
    }

    Service *get() const { return m_instance.get(); }
    Service &operator*() const { return *m_instance; }
    Service *operator->() const { return m_instance.get(); }
    explicit operator bool() const { return m_instance != nullptr; }

private:
    std::unique_ptr<Service> m_instance;
    std::unique_ptr<SharedRegistration<Service>> m_registration;
};

} // namespace tanvill
