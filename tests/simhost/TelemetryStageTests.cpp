// Telemetry out on the stage: the real plug-in in the simulated host sends to
// two loopback receivers in this test (one per packet format) while the host
// drives, pauses and goes back to the menu. The values are read back at the
// byte offsets the consumers' tools read them.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HostRun.h"
#include "TestPaths.h"

using namespace simhost_test;

namespace {

// A UDP socket on a free loopback port that keeps every datagram it gets.
class Receiver {
 public:
  Receiver() {
    socket_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int len = sizeof a;
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    DWORD timeoutMs = 100;
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    thread_ = std::thread([this] {
      char buffer[2048];
      while (!stop_) {
        const int n = ::recv(socket_, buffer, sizeof buffer, 0);
        if (n <= 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        packets_.emplace_back(buffer, buffer + n);
      }
    });
  }
  ~Receiver() {
    stop_ = true;
    thread_.join();
    ::closesocket(socket_);
  }
  unsigned port() const { return port_; }
  std::vector<std::vector<std::uint8_t>> packets() {
    std::lock_guard<std::mutex> lock(mutex_);
    return packets_;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  unsigned port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> packets_;
};

float floatAt(const std::vector<std::uint8_t>& p, std::size_t offset) {
  float v = 0;
  if (offset + 4 <= p.size()) std::memcpy(&v, p.data() + offset, 4);
  return v;
}

struct Winsock {
  Winsock() {
    WSADATA d;
    WSAStartup(MAKEWORD(2, 2), &d);
  }
  ~Winsock() { WSACleanup(); }
};

void writeTelemetrySettings(const std::string& folder, const std::string& section) {
  std::ofstream(folder + "\\Plugins\\OSTREL\\OSTREL.ini", std::ios::binary) << section;
}

// Menu (rpm 1111), then driving with constant values and the stage clock
// running, a pause in which the host's values change, driving again, and
// the menu (rpm 1234). 30 frames a second: slower than the rate set, so one
// packet a frame while driving.
constexpr int kDriveFrom = 4, kPauseFrom = 20, kResumeFrom = 28, kMenuFrom = 32, kFrames = 36;
const char* kScenario = R"(frames 36
window 320 240
fps 30
frame 0
  mode 5
  car-slot 0
  rpm 1111
frame 4
  mode 1
  prestart 0
  finished 0
  pause 0
  rpm 7600
  gear 3
  gear-index 3
  speed 108
  wheel-speed 90
  stage-time 10 step 0.5
  split3-ms 6000 step -10
  water-temp-k 373.15
frame 20
  pause 1
  rpm 3000
  speed 0
  stage-time 99
frame 28
  pause 0
  rpm 5000
frame 32
  mode 5
  rpm 1234
)";

}  // namespace

// Both runs play the same stage on the allocation-counting build of the
// plug-in: one with telemetry on, one with it off.
class TelemetryStage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    winsock_ = new Winsock;
    a_ = new Receiver;
    b_ = new Receiver;
    off_ = new Receiver;
    const std::string plugin = testing_support::buildDir() + "\\src\\OSTREL_counting.dll";
    on_ = makeGameFolder("telemetry-on", plugin);
    // A broadcast address refuses datagrams from a socket not set up for
    // broadcast: that target stops, the others go on.
    writeTelemetrySettings(on_, "[Telemetry]\r\nEnabled=1\r\nRate=60\r\nId=77\r\nTargets=A@127.0.0.1:" +
                                    std::to_string(a_->port()) + ", Q@127.0.0.1:9, B@localhost:" +
                                    std::to_string(b_->port()) +
                                    ",A@127.0.0.1:99999, AA@127.0.0.1:5, A@255.255.255.255:9, B@localhots:9\r\n");
    writeCarFile(on_);
    onRun_ = runHost(on_, kScenario, "", 300);
    offFolder_ = makeGameFolder("telemetry-off", plugin);
    writeTelemetrySettings(offFolder_, "[Telemetry]\r\nEnabled=0\r\nTargets=A@127.0.0.1:" +
                                           std::to_string(off_->port()) + "\r\n");
    writeCarFile(offFolder_);
    offRun_ = runHost(offFolder_, kScenario, "", 300);
    Sleep(300);  // the last datagrams on their way
    pa_ = a_->packets();
    pb_ = b_->packets();
    pOff_ = off_->packets();
    delete a_;
    delete b_;
    delete off_;
    delete winsock_;
  }
  void SetUp() override {
    ASSERT_EQ(onRun_.exitCode, 0u) << onRun_.output;
    ASSERT_EQ(offRun_.exitCode, 0u) << offRun_.output;
  }
  static void writeCarFile(const std::string& folder) {
    std::ofstream(folder + "\\Cars\\Car1\\engine.txt", std::ios::binary) << "MaxRpm 8000\r\nGear3Up 7400\r\n";
  }
  static std::string log(const std::string& folder) { return readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log"); }

  static inline Winsock* winsock_ = nullptr;
  static inline Receiver *a_ = nullptr, *b_ = nullptr, *off_ = nullptr;
  static inline std::string on_, offFolder_;
  static inline RunResult onRun_, offRun_;
  static inline std::vector<std::vector<std::uint8_t>> pa_, pb_, pOff_;
};

TEST_F(TelemetryStage, BothFormatsArriveEachDrivingFrameWithTheCarsValuesAndNothingInTheMenu) {
  const auto& pa = pa_;
  const auto& pb = pb_;
  const int sendingFrames = kMenuFrom - kDriveFrom;
  EXPECT_NEAR(static_cast<int>(pa.size()), sendingFrames, 1);
  EXPECT_NEAR(static_cast<int>(pb.size()), sendingFrames, 1);
  ASSERT_GE(pa.size(), 20u);
  ASSERT_GE(pb.size(), 20u);

  float lastRunTime = -1, lastStageTime = -1;
  int paused = 0;
  for (const auto& p : pa) {
    ASSERT_EQ(p.size(), 264u);
    const float rpm = floatAt(p, 148);
    EXPECT_TRUE(rpm == 760.0f || rpm == 500.0f) << "sent in the menu or during the pause: " << rpm * 10;
    EXPECT_GT(floatAt(p, 0), lastRunTime) << "the run time counts on, paused too";
    lastRunTime = floatAt(p, 0);
    EXPECT_EQ(floatAt(p, 132), 3.0f) << "gear";
    EXPECT_EQ(floatAt(p, 252), 800.0f) << "the car file's MaxRpm / 10";
    EXPECT_EQ(floatAt(p, 256), 80.0f) << "IdleRpm / 10";
    EXPECT_EQ(floatAt(p, 244), 6000.0f) << "stage length";
    if (rpm == 760.0f && floatAt(p, 4) == lastStageTime) ++paused;  // held while paused
    if (rpm == 760.0f) {
      EXPECT_FLOAT_EQ(floatAt(p, 28), 30.0f) << "108 km/h in m/s";
      EXPECT_FLOAT_EQ(floatAt(p, 100), 25.0f) << "wheel speed 90 km/h in m/s";
      EXPECT_GE(floatAt(p, 4), 10.0f) << "stage time";
      EXPECT_LT(floatAt(p, 4), 99.0f) << "the host's stage time while paused must not show";
      EXPECT_NEAR(floatAt(p, 8), (floatAt(p, 4) - 10.0f) / 0.5f * 10.0f, 10.5f) << "driven follows the stage time";
    }
    lastStageTime = floatAt(p, 4);
  }
  EXPECT_GE(paused, kResumeFrom - kPauseFrom - 2) << "packets during the pause repeat the last values";

  const auto& first = pb.front();
  ASSERT_EQ(first.size(), 96u) << "an id is set";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.data() + 4), 4), "CAR1");
  EXPECT_EQ(first[10], 4) << "third gear: reverse 0, neutral 1";
  EXPECT_FLOAT_EQ(floatAt(first, 16), 7600.0f);
  EXPECT_FLOAT_EQ(floatAt(first, 12), 30.0f);
  EXPECT_NEAR(floatAt(first, 24), 100.0f, 0.01f) << "water 373.15 K in degrees Celsius";
  std::uint32_t lights = 0;
  std::memcpy(&lights, first.data() + 44, 4);
  EXPECT_EQ(lights, 1u) << "7600 rpm is past the car file's 7400 third-gear shift point; no warning";
  std::int32_t id = 0;
  std::memcpy(&id, first.data() + 92, 4);
  EXPECT_EQ(id, 77);
  EXPECT_NE(readFile(on_ + "\\out\\calls.log").find("socket library loaded"), std::string::npos);
}

TEST_F(TelemetryStage, BadTargetsAreLoggedOnceAndSkipped) {
  const std::string text = log(on_);
  EXPECT_EQ(count(text, "Telemetry: sending format A to 127.0.0.1:"), 1) << text;
  EXPECT_EQ(count(text, "Telemetry: sending format B to localhost:"), 1) << text;
  for (const char* bad : {"\"Q@127.0.0.1:9\" of key Targets in section [Telemetry] of .\\Plugins\\OSTREL\\OSTREL.ini",
                          "\"A@127.0.0.1:99999\" of key Targets", "\"AA@127.0.0.1:5\" of key Targets",
                          "\"B@localhots:9\" of key Targets"})
    EXPECT_EQ(count(text, bad), 1) << bad << "\n" << text;
  EXPECT_NE(text.find("did you mean A?"), std::string::npos);
  EXPECT_NE(text.find("does not resolve; did you mean localhost?"), std::string::npos) << text;
  EXPECT_EQ(count(text, "Telemetry: sending to A@255.255.255.255:9 stopped"), 1) << text;
  EXPECT_EQ(count(text, "gives no maximum engine speed"), 0);
}

TEST_F(TelemetryStage, SwitchedOffNothingIsSentAndNoSocketMade) {
  EXPECT_TRUE(pOff_.empty());
  EXPECT_EQ(log(offFolder_).find("Telemetry"), std::string::npos);
  EXPECT_NE(readFile(offFolder_ + "\\out\\calls.log").find("socket library not loaded"), std::string::npos);
}

// Sending allocates nothing: each driving frame of the run with telemetry on
// allocates what the same frame of the run without it allocates.
TEST_F(TelemetryStage, SendingAllocatesNothingPerFrame) {
  const Csv on = readCsv(on_ + "\\out\\timing.csv"), off = readCsv(offFolder_ + "\\out\\timing.csv");
  ASSERT_EQ(on.rows.size(), static_cast<std::size_t>(kFrames));
  ASSERT_EQ(off.rows.size(), static_cast<std::size_t>(kFrames));
  // From the second sending frame on (the first begins the stage).
  for (int f = kDriveFrom + 1; f < kMenuFrom; ++f)
    EXPECT_EQ(on.number(f, "allocations"), off.number(f, "allocations")) << "frame " << f;
}

// The players' listener: started as a player starts it, fed format A and B
// packets, its once-a-second lines name the format, the rate and the values.
TEST(TelemetryListener, SaysWhatArrivesOnItsPort) {
  Winsock winsock;
  // A port that was free a moment ago: bound, read and let go.
  unsigned port = 0;
  {
    Receiver probe;
    port = probe.port();
  }

  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &sa, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  PROCESS_INFORMATION pi{};
  std::string command = "\"" + testing_support::buildDir() + "\\tools\\telemetry\\telemetry-listen.exe\" " +
                        std::to_string(port) + " --seconds 4";
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(writeEnd);
  std::string output;
  char chunk[512];
  DWORD got = 0;
  // Read until it says it listens, then send for a while.
  while (output.find("listening") == std::string::npos && ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got)
    output.append(chunk, got);
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::uint8_t a[264] = {}, b[92] = {};
  const float speed = 25.0f, rpmTens = 760.0f, gear = 3.0f, rpm = 5500.0f;
  std::memcpy(a + 28, &speed, 4);
  std::memcpy(a + 148, &rpmTens, 4);
  std::memcpy(a + 132, &gear, 4);
  std::memcpy(b + 16, &rpm, 4);
  b[10] = 2;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 2500) {
    ::sendto(s, reinterpret_cast<const char*>(GetTickCount() - start < 1500 ? a : b),
             GetTickCount() - start < 1500 ? 264 : 92, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    Sleep(50);
  }
  ::closesocket(s);
  while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got) output.append(chunk, got);
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD exitCode = 1;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(readEnd);
  EXPECT_EQ(exitCode, 0u) << output;
  EXPECT_NE(output.find("format A"), std::string::npos) << output;
  EXPECT_NE(output.find("speed   90.0 km/h   7600 rpm"), std::string::npos) << output;
  EXPECT_NE(output.find("gear 3"), std::string::npos) << output;
  EXPECT_NE(output.find("format B"), std::string::npos) << output;
  EXPECT_NE(output.find(" 5500 rpm  gear 1"), std::string::npos) << output;
  EXPECT_NE(output.find("packets/s"), std::string::npos) << output;
}
