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

  // Resolves `host` (a dotted address is taken as it is) and makes the
  // socket; false with `problem` saying why.
  bool open(const std::string& host, std::uint16_t port, std::string& problem);
  void close();
  bool isOpen() const { return socket_ != kNoSocket; }

  enum class Outcome { kSent, kNotNow, kFailed };
  // Never waits. kNotNow: the datagram was dropped for a passing reason (no
  // listener, a full buffer); kFailed: `error` holds the socket error.
  Outcome send(const std::uint8_t* bytes, std::size_t size, int& error);

 private:
  static constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
  std::uintptr_t socket_ = kNoSocket;
  std::uint8_t address_[16] = {};  // a sockaddr_in
};

// The name of a socket error ("" for one without a name here).
const char* socketErrorName(int error);

}  // namespace ostrel::telemetry
