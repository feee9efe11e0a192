#include "telemetry/UdpSender.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

#include "plugin/FixedText.h"

namespace ostrel::telemetry {
namespace {

// The few functions of the socket library the sender uses, found at run
// time: the DLL does not import the library.
struct SocketApi {
  bool ready = false;
  int(WSAAPI* startup)(WORD, LPWSADATA) = nullptr;
  SOCKET(WSAAPI* makeSocket)(int, int, int) = nullptr;
  int(WSAAPI* ioctl)(SOCKET, long, u_long*) = nullptr;
  int(WSAAPI* sendTo)(SOCKET, const char*, int, int, const sockaddr*, int) = nullptr;
  int(WSAAPI* closeSocket)(SOCKET) = nullptr;
  int(WSAAPI* lastError)() = nullptr;
  int(WSAAPI* getAddrInfo)(PCSTR, PCSTR, const ADDRINFOA*, PADDRINFOA*) = nullptr;
  void(WSAAPI* freeAddrInfo)(PADDRINFOA) = nullptr;
};

template <typename F>
bool find(HMODULE m, const char* name, F& out) {
  out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  return out != nullptr;
}

// Loaded once and kept for the life of the process: unloading a library
// from a game's frame is not worth the risk.
SocketApi* socketApi(std::string& problem) {
  static SocketApi api;
  static bool tried = false;
  if (tried) {
    if (!api.ready) problem = FT("the socket library is not available");
    return api.ready ? &api : nullptr;
  }
  tried = true;
  HMODULE m = LoadLibraryA(FT("ws2_32.dll"));
  if (!m) {
    problem = FT("the socket library ws2_32.dll could not be loaded");
    return nullptr;
  }
  const bool found = find(m, FT("WSAStartup"), api.startup) && find(m, FT("socket"), api.makeSocket) &&
                     find(m, FT("ioctlsocket"), api.ioctl) && find(m, FT("sendto"), api.sendTo) &&
                     find(m, FT("closesocket"), api.closeSocket) && find(m, FT("WSAGetLastError"), api.lastError) &&
                     find(m, FT("getaddrinfo"), api.getAddrInfo) && find(m, FT("freeaddrinfo"), api.freeAddrInfo);
  WSADATA data;
  if (!found || api.startup(MAKEWORD(2, 2), &data) != 0) {
    problem = FT("the socket library could not be started");
    return nullptr;
  }
  api.ready = true;
  return &api;
}

SocketApi* loadedApi = nullptr;  // set once the library is started; read by the resolver's thread

}  // namespace

bool lookUpName(const char* name, std::uint32_t& address) {
  SocketApi* api = loadedApi;
  if (!api) return false;
  ADDRINFOA hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  ADDRINFOA* found = nullptr;
  if (api->getAddrInfo(name, nullptr, &hints, &found) != 0 || !found) return false;
  std::memcpy(&address, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, sizeof address);
  api->freeAddrInfo(found);
  return true;
}

bool UdpSender::open(std::uint16_t port, std::string& problem) {
  close();
  SocketApi* api = socketApi(problem);
  if (!api) return false;
  loadedApi = api;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = static_cast<u_short>((port >> 8) | (port << 8));
  const SOCKET s = api->makeSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    problem = std::string(FT("no socket could be made (error ")) + std::to_string(api->lastError()) + ")";
    return false;
  }
  u_long nonBlocking = 1;
  if (api->ioctl(s, FIONBIO, &nonBlocking) != 0) {
    problem = FT("the socket could not be made non-blocking");
    api->closeSocket(s);
    return false;
  }
  static_assert(sizeof address_ >= sizeof to);
  std::memcpy(address_, &to, sizeof to);
  hasAddress_ = false;
  socket_ = static_cast<std::uintptr_t>(s);
  return true;
}

void UdpSender::setAddress(std::uint32_t address) {
  sockaddr_in to;
  std::memcpy(&to, address_, sizeof to);
  to.sin_addr.s_addr = address;
  std::memcpy(address_, &to, sizeof to);
  hasAddress_ = true;
}

void UdpSender::close() {
  if (socket_ == kNoSocket) return;
  std::string unused;
  if (SocketApi* api = socketApi(unused)) api->closeSocket(static_cast<SOCKET>(socket_));
  socket_ = kNoSocket;
  hasAddress_ = false;
}

UdpSender::Outcome UdpSender::send(const std::uint8_t* bytes, std::size_t size, int& error) {
  std::string unused;
  SocketApi* api = socketApi(unused);
  if (!api || socket_ == kNoSocket || !hasAddress_) return Outcome::kNotNow;
  const int sent = api->sendTo(static_cast<SOCKET>(socket_), reinterpret_cast<const char*>(bytes),
                               static_cast<int>(size), 0, reinterpret_cast<const sockaddr*>(address_),
                               sizeof(sockaddr_in));
  if (sent >= 0) return sent == static_cast<int>(size) ? Outcome::kSent : Outcome::kNotNow;
  error = api->lastError();
  switch (error) {
    // No listener (the platform reports the previous datagram refused), a
    // full buffer, a network that is down for a moment: try next frame.
    case WSAEWOULDBLOCK:
    case WSAECONNRESET:
    case WSAECONNREFUSED:
    case WSAENOBUFS:
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
      return Outcome::kNotNow;
    default:
      return Outcome::kFailed;
  }
}

const char* socketErrorName(int error) {
  switch (error) {
    case WSAEACCES: return FT("access refused (a broadcast address?)");
    case WSAEADDRNOTAVAIL: return FT("the address is not valid here");
    case WSAEAFNOSUPPORT: return FT("address family not supported");
    case WSAEMSGSIZE: return FT("datagram too large");
    case WSAENOTSOCK: return FT("not a socket");
    default: return "";
  }
}

}  // namespace ostrel::telemetry
