#pragma once

#include <mutex>
#include <string>

namespace qv {

// A text that a worker thread writes while the window thread reads it (the
// path shown in the progress dialog). Each access copies under a short lock,
// so a reader never sees a half-written string.
class SharedText {
public:
    void set(std::string text)
    {
        std::lock_guard lock(mutex_);
        text_ = std::move(text);
    }
    void clear() { set({}); }
    std::string get() const
    {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

}  // namespace qv
