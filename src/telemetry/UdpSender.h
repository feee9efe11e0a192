#pragma once
// One non-blocking UDP socket that sends datagrams to one address. The socket
// library is loaded on the first open, so a player without telemetry never
// has it in the game's process.
#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrel::telemetry {

class UdpSender {
 public:
  UdpSender() = default;
  ~UdpSender() { close(); }
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  // Makes the socket for sending to `port`; false with `problem` saying why.
  // It sends nothing until it has an address.
  bool open(std::uint16_t port, std::string& problem);
  // The IPv4 address to send to, in network byte order.
  void setAddress(std::uint32_t address);
  void close();
  bool isOpen() const { return socket_ != kNoSocket; }
  bool hasAddress() const { return hasAddress_; }

  enum class Outcome { kSent, kNotNow, kFailed };
  // Never waits. kNotNow: the datagram was dropped for a passing reason (no
  // listener, a full buffer, no address yet); kFailed: `error` holds the
  // socket error.
  Outcome send(const std::uint8_t* bytes, std::size_t size, int& error);

 private:
  static constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
  std::uintptr_t socket_ = kNoSocket;
  bool hasAddress_ = false;
  std::uint8_t address_[16] = {};  // a sockaddr_in
};

// Asks the system's resolver for `name`'s IPv4 address (network byte order).
// Waits as long as the resolver takes (up to its time-out): never call it on
// the game's thread. Needs the socket library, which the first open() loads;
// false when it is not loaded or the name does not resolve. Allocates nothing
// of the plug-in's own.
bool lookUpName(const char* name, std::uint32_t& address);

// The name of a socket error ("" for one without a name here).
const char* socketErrorName(int error);

}  // namespace ostrel::telemetry
