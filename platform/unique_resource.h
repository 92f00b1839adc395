// One owning wrapper for every kind of system handle: move-only, with the
// invalid value and the close function its traits give. Closing keeps the
// system's last error (GetLastError, errno), so an error path can still
// report the error that made it close.
//
// Traits: Type, Invalid(), Close(value) -> bool, and SaveError() /
// RestoreError(saved) for the error that closing must not change.
#pragma once

namespace platform {

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : m_value(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : m_value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Type get() const { return m_value; }
    explicit operator bool() const { return m_value != Traits::Invalid(); }
    Type release() {
        Type value = m_value;
        m_value = Traits::Invalid();
        return value;
    }
    void reset(Type value = Traits::Invalid()) {
        if (m_value != Traits::Invalid()) {
            auto error = Traits::SaveError();
            Traits::Close(m_value);
            Traits::RestoreError(error);
        }
        m_value = value;
    }
    // Closes and tells whether closing succeeded (some file systems report
    // write errors only there).
    bool close() {
        if (m_value == Traits::Invalid()) {
            return false;
        }
        return Traits::Close(release());
    }
    // Resets first, so handing the address to an API cannot leak a held handle.
    Type* put() {
        reset();
        return &m_value;
    }

private:
    Type m_value = Traits::Invalid();
};

}  // namespace platform
