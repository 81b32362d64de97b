// Loads an ASIO driver the way hosts do: the class id from
// HKLM\SOFTWARE\ASIO\<name>, then CoCreateInstance asking for that class id.
#pragma once

#include "asio_driver/AsioInterface.h"

namespace rk50host {

class DriverLoader {
public:
    DriverLoader() = default;
    ~DriverLoader();
    DriverLoader(const DriverLoader&) = delete;
    DriverLoader& operator=(const DriverLoader&) = delete;

    // Fills errorText and returns false when the driver cannot be created.
    bool load(const char* asioName);
    void release();

    IASIO* driver() const { return driver_; }
    const char* errorText() const { return errorText_; }

private:
    IASIO* driver_ = nullptr;
    bool comInitialized_ = false;
    char errorText_[256] = "";
};

}  // namespace rk50host
