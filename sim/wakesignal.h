#pragma once

namespace quillon {

// An eventfd that another thread raises to break the device's thread out of poll().
class WakeSignal
{
public:
    // Throws std::system_error when no eventfd can be made.
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal &) = delete;
    WakeSignal &operator=(const WakeSignal &) = delete;

    // Readable while raised.
    int fd() const { return fd_; }
    void raise();
    // Clears every raise so far; the caller then looks at the shared state once.
    void clear();

private:
    int fd_ = -1;
};

} // namespace quillon
