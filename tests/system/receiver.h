#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kelvane::system {

// One event as the receiver recorded it.
struct Arrival {
    long long ns = 0;  // CLOCK_MONOTONIC
    std::vector<unsigned char> bytes;
};

// Runs kelvane_midi_receiver as a separate ALSA client for the life of the object.
class Receiver {
public:
    // name: the client's and its port's name; source: "client:port" to listen to as well.
    explicit Receiver(const std::string& name, const std::string& source = {});
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    const std::string& Address() const { return address_; }

    std::vector<Arrival> Arrivals() const;
    // Every byte received so far, in order, as "B0 07 7F F0 …".
    std::string Bytes() const;
    // Waits until at least count bytes have arrived, or the time is up; returns Bytes().
    std::string WaitForBytes(std::size_t count,
                             std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

    void Stop();

private:
    std::string output_;
    std::string address_;
    pid_t pid_ = -1;
};

std::string Hex(const std::vector<unsigned char>& bytes);

}  // namespace kelvane::system
