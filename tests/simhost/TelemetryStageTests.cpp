// Telemetry out on the stage: the real plug-in in the simulated host sends to
// two loopback receivers in this test (one per packet format) while the host
// drives, pauses and goes back to the menu. The values are read back at the
// byte offsets the consumers' tools read them. Then the telemetry code in
// this process, on a fake host's records: names resolved off the frame's
// thread, retried, and refused sends paused.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "HostRun.h"
#include "ManualClock.h"
#include "PluginLog.h"
#include "TestPaths.h"
#include "plugin/PluginPaths.h"
#include "telemetry/GearCoding.h"
#include "telemetry/NameResolver.h"
#include "telemetry/PhaseReader.h"
#include "telemetry/StagePhases.h"
#include "telemetry/TelemetryOut.h"
#include "telemetry/TelemetrySettings.h"

using namespace simhost_test;

namespace {

// Hang guards: far longer than any wait should take, longer still emulated.
double guardSeconds(double seconds) {
  const char* scale = std::getenv("OSTREL_TIME_SCALE");
  return seconds * (scale ? std::atof(scale) : 1.0);
}

// A UDP socket on a loopback port the system chose, with room for every
// datagram of a run: read after the sender is done (a datagram on loopback
// is in the receiver's buffer once the send returns), with no thread of its own.
class Receiver {
 public:
  // On `port` (0: one the system chooses); bound() says whether it could be had.
  explicit Receiver(unsigned port = 0) {
    socket_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    int room = 1 << 20;
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&room), sizeof room);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(port));
    bound_ = ::bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    int len = sizeof a;
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    u_long nonBlocking = 1;
    ::ioctlsocket(socket_, FIONBIO, &nonBlocking);
  }
  ~Receiver() { ::closesocket(socket_); }
  unsigned port() const { return port_; }
  bool bound() const { return bound_; }
  // Every datagram so far.
  const std::vector<std::vector<std::uint8_t>>& packets() {
    char buffer[2048];
    for (int n; (n = ::recv(socket_, buffer, sizeof buffer, 0)) > 0;) packets_.emplace_back(buffer, buffer + n);
    return packets_;
  }
  // Waits for `count` datagrams in all, at most the hang guard; true when they came.
  bool waitFor(std::size_t count, double guard = 30.0) {
    const DWORD start = GetTickCount();
    while (packets().size() < count) {
      if (GetTickCount() - start > guardSeconds(guard) * 1000.0) return false;
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket_, &readable);
      timeval step{0, 50000};
      ::select(0, &readable, nullptr, nullptr, &step);
    }
    return true;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  unsigned port_ = 0;
  bool bound_ = false;
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

// Menu (rpm 1111); the pre-start; driving with constant values and the
// stage clock running; a pause in which the host's values change; driving
// again; a restart (the stage time back to 0); the finish at 40.25 s and its
// result; the menu (rpm 1234). Rate 0: one packet each frame it sends,
// however fast the machine runs the frames.
constexpr int kDriveFrom = 4, kStartFrom = 6, kPauseFrom = 12, kResumeFrom = 16, kRestartFrom = 20,
              kFinishFrom = 30, kMenuFrom = 36, kFrames = 46;
constexpr float kFinishTime = 40.25f;
const char* kScenario = R"(frames 46
window 320 240
fps 30
frame 0
  mode 5
  car-slot 0
  rpm 1111
frame 4
  mode 1
  prestart 0.5
  finished 0
  pause 0
  rpm 7600
  gear 3
  gear-index 3
  speed 108
  wheel-speed 90
  stage-time 0
  distance3 6000
  water-temp-k 373.15
frame 6
  prestart 0
  stage-time 0.5 step 0.5
  distance3 5990 step -10
frame 12
  pause 1
  rpm 3000
  speed 0
  stage-time 99
frame 16
  pause 0
  rpm 5000
  speed 108
  stage-time 3.5 step 0.5
frame 20
  prestart 0.2
  stage-time 0
  distance3 6000
frame 22
  prestart 0
  stage-time 0.5 step 0.5
  distance3 5990 step -10
frame 30
  finished 1
  rpm 1200
  speed 0
  wheel-speed 0
  stage-time 40.25
  distance3 5000
frame 36
  mode 5
  finished 0
  rpm 1234
)";

// Driving flat out at most `kRate` packets a second.
constexpr int kRate = 60;
const char* kFlatOutScenario = R"(frames 120
window 320 240
frame 0
  mode 1
  prestart 0
  finished 0
  pause 0
  rpm 6000
  stage-time 1 step 0.01
  distance3 6000 step -1
)";

// The phases a player's tool reads from format A packets, as one letter
// each: s start, p pause, r resume, f finish (=its time in hundredths; b
// when before any start), o over.
std::string phasesRead(const std::vector<std::vector<std::uint8_t>>& packets, std::vector<std::size_t>* at = nullptr) {
  ostrel::telemetry::PhaseReader reader;
  std::string seen;
  for (std::size_t i = 0; i < packets.size(); ++i) {
    ostrel::telemetry::PhaseEvent e[2];
    const int n = reader.read(packets[i].data(), packets[i].size(), e);
    for (int k = 0; k < n; ++k) {
      using K = ostrel::telemetry::PhaseEvent::Kind;
      const K kind = e[k].kind;
      seen += kind == K::kStart ? 's' : kind == K::kPause ? 'p' : kind == K::kResume ? 'r' : kind == K::kOver ? 'o'
              : e[k].beforeStart ? 'b' : 'f';
      if (kind == K::kFinish) seen += "=" + std::to_string(static_cast<int>(e[k].stageTime * 100 + 0.5f));
      if (at) at->push_back(i);
    }
  }
  return seen;
}

}  // namespace

// Both runs play the same stage on the allocation-counting build of the
// plug-in: one with telemetry on, one with it off; a third drives flat out
// at a rate.
class TelemetryStage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    winsock_ = new Winsock;
    a_ = new Receiver;
    b_ = new Receiver;
    off_ = new Receiver;
    rate_ = new Receiver;
    const std::string plugin = testing_support::buildDir() + "\\src\\OSTREL_counting.dll";
    on_ = makeGameFolder("telemetry-on", plugin);
    // A broadcast address refuses datagrams from a socket not set up for
    // broadcast: that target pauses, the others go on. A name under .invalid
    // never resolves, however long the resolver takes to say so.
    writeTelemetrySettings(on_, "[Telemetry]\r\nEnabled=1\r\nRate=0\r\nId=77\r\nTargets=A@127.0.0.1:" +
                                    std::to_string(a_->port()) + ", Q@127.0.0.1:9, B@127.0.0.1:" +
                                    std::to_string(b_->port()) +
                                    ",A@127.0.0.1:99999, AA@127.0.0.1:5, A@255.255.255.255:9, B@ostrel-telemetry.invalid:9\r\n");
    writeCarFile(on_);
    onRun_ = runHost(on_, kScenario, "", 300);
    offFolder_ = makeGameFolder("telemetry-off", plugin);
    writeTelemetrySettings(offFolder_, "[Telemetry]\r\nEnabled=0\r\nTargets=A@127.0.0.1:" +
                                           std::to_string(off_->port()) + "\r\n");
    writeCarFile(offFolder_);
    offRun_ = runHost(offFolder_, kScenario, "", 300);
    rateFolder_ = makeGameFolder("telemetry-rate", plugin);
    writeTelemetrySettings(rateFolder_, "[Telemetry]\r\nEnabled=1\r\nRate=" + std::to_string(kRate) +
                                            "\r\nTargets=A@127.0.0.1:" + std::to_string(rate_->port()) + "\r\n");
    rateRun_ = runHost(rateFolder_, kFlatOutScenario, "--no-pace", 300);
    // The senders have ended: every datagram is in its receiver's buffer.
    pa_ = a_->packets();
    pb_ = b_->packets();
    pOff_ = off_->packets();
    pRate_ = rate_->packets();
    delete a_;
    delete b_;
    delete off_;
    delete rate_;
    delete winsock_;
  }
  void SetUp() override {
    ASSERT_EQ(onRun_.exitCode, 0u) << onRun_.output;
    ASSERT_EQ(offRun_.exitCode, 0u) << offRun_.output;
    ASSERT_EQ(rateRun_.exitCode, 0u) << rateRun_.output;
  }
  static void writeCarFile(const std::string& folder) {
    std::ofstream(folder + "\\Cars\\Car1\\engine.txt", std::ios::binary) << "MaxRpm 8000\r\nGear3Up 7400\r\n";
  }
  static std::string log(const std::string& folder) { return readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log"); }

  static inline Winsock* winsock_ = nullptr;
  static inline Receiver *a_ = nullptr, *b_ = nullptr, *off_ = nullptr, *rate_ = nullptr;
  static inline std::string on_, offFolder_, rateFolder_;
  static inline RunResult onRun_, offRun_, rateRun_;
  static inline std::vector<std::vector<std::uint8_t>> pa_, pb_, pOff_, pRate_;
};

TEST_F(TelemetryStage, BothFormatsArriveEachDrivingFrameWithTheCarsValuesAndNothingInTheMenu) {
  const auto& pa = pa_;
  const auto& pb = pb_;
  // Format B from the first frame on the stage to the last, while a name is
  // being resolved; format A as well, and then the stage's end.
  const std::size_t stageFrames = kMenuFrom - kDriveFrom;
  EXPECT_EQ(pb.size(), stageFrames);
  const std::size_t endPackets = ostrel::telemetry::StagePhases::kEndPackets;
  // The result's time may end the stage before the menu on a slow machine.
  EXPECT_LE(pa.size(), stageFrames + endPackets);
  EXPECT_GE(pa.size(), static_cast<std::size_t>(kFinishFrom - kDriveFrom + 1) + endPackets);
  ASSERT_GE(pa.size(), 20u);
  ASSERT_GE(pb.size(), 20u);

  float lastRunTime = -1;
  bool finished = false;
  for (std::size_t i = 0; i < pa.size(); ++i) {
    const auto& p = pa[i];
    SCOPED_TRACE("format A packet " + std::to_string(i));
    ASSERT_EQ(p.size(), 264u);
    const float rpm = floatAt(p, 148);
    EXPECT_TRUE(rpm == 760.0f || rpm == 500.0f || rpm == 120.0f) << "sent in the menu or during the pause: " << rpm * 10;
    EXPECT_GT(floatAt(p, 0), lastRunTime) << "the run time counts on, paused too";
    lastRunTime = floatAt(p, 0);
    EXPECT_EQ(floatAt(p, 132), 3.0f) << "gear";
    EXPECT_EQ(floatAt(p, 252), 800.0f) << "the car file's MaxRpm / 10";
    EXPECT_EQ(floatAt(p, 256), 80.0f) << "IdleRpm / 10";
    EXPECT_EQ(floatAt(p, 244), 6000.0f) << "stage length";
    EXPECT_EQ(floatAt(p, 240), 1.0f) << "total laps: the stage is one";
    if (floatAt(p, 236) == 1.0f) finished = true;
    EXPECT_EQ(floatAt(p, 236), finished ? 1.0f : 0.0f) << "laps completed, once finished";
    EXPECT_EQ(floatAt(p, 248), finished ? kFinishTime : 0.0f) << "last lap time: the stage's time once finished";
    if (rpm == 760.0f || rpm == 500.0f) {
      EXPECT_LT(floatAt(p, 4), 99.0f) << "the host's stage time while paused must not show";
      if (floatAt(p, 4) > 0.0f) {
        EXPECT_FLOAT_EQ(floatAt(p, 28), 30.0f) << "108 km/h in m/s";
        EXPECT_FLOAT_EQ(floatAt(p, 100), 25.0f) << "wheel speed 90 km/h in m/s";
      }
    }
  }
  EXPECT_TRUE(finished);
  // The end: stage time and distance 0, the result and engine speeds kept.
  for (std::size_t i = pa.size() - endPackets; i < pa.size(); ++i) {
    EXPECT_EQ(floatAt(pa[i], 4), 0.0f) << i;
    EXPECT_EQ(floatAt(pa[i], 8), 0.0f) << i;
    EXPECT_EQ(floatAt(pa[i], 248), kFinishTime) << i;
    EXPECT_EQ(floatAt(pa[i], 148), 120.0f) << i;
  }

  const auto& first = pb.front();
  ASSERT_EQ(first.size(), 96u) << "an id is set";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.data() + 4), 4), std::string("CR1\0", 4))
      << "a car's name as tools read one: three characters and a zero byte";
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

// A tool's rules on the stage's format A packets: one start, one pause and
// resume, an end at the restart and a new start, one finish with the
// stage's time, one end; then nothing.
TEST_F(TelemetryStage, AToolSeesEachPhaseOnceFromTheStartToTheEnd) {
  std::vector<std::size_t> at;
  const std::string phases = phasesRead(pa_, &at);
  EXPECT_EQ(phases, "sprosf=4025o");
  ASSERT_FALSE(at.empty());
  EXPECT_EQ(pa_.size() - at.back(), ostrel::telemetry::StagePhases::kEndPackets) << "after the end: silent";
  EXPECT_EQ(phases.find('b'), std::string::npos) << "a finish before the start";
  // The packets of the pre-start: before the start, laps 0 of 1.
  ASSERT_GE(pa_.size(), 2u);
  EXPECT_EQ(floatAt(pa_[0], 4), 0.0f);
  EXPECT_EQ(floatAt(pa_[0], 240), 1.0f);
}

// Flat out at a rate, the run times of the packets received are never less
// than three quarters of the rate's interval apart.
TEST_F(TelemetryStage, FlatOutThePacketsKeepToTheRate) {
  ASSERT_GE(pRate_.size(), 2u) << "too few packets to see a rate";
  for (std::size_t i = 1; i < pRate_.size(); ++i)
    EXPECT_GE(floatAt(pRate_[i], 0) - floatAt(pRate_[i - 1], 0), 0.75f / kRate - 1e-5f) << "packet " << i;
}

TEST_F(TelemetryStage, BadTargetsAreLoggedOnceAndSkipped) {
  const std::string text = log(on_);
  EXPECT_EQ(count(text, "Telemetry: sending format A to 127.0.0.1:"), 1) << text;
  EXPECT_EQ(count(text, "Telemetry: sending format B to 127.0.0.1:"), 1) << text;
  EXPECT_EQ(count(text, "Telemetry: sending format B to ostrel-telemetry.invalid:9"), 1) << text;
  for (const char* bad : {"\"Q@127.0.0.1:9\" of key Targets in section [Telemetry] of .\\Plugins\\OSTREL\\OSTREL.ini",
                          "\"A@127.0.0.1:99999\" of key Targets", "\"AA@127.0.0.1:5\" of key Targets"})
    EXPECT_EQ(count(text, bad), 1) << bad << "\n" << text;
  EXPECT_NE(text.find("did you mean A?"), std::string::npos);
  EXPECT_NE(text.find("(the formats are A and B)"), std::string::npos);
  // Said when the resolver has answered (which may take longer than the
  // run), and never once per try.
  EXPECT_LE(count(text, "the name \"ostrel-telemetry.invalid\" does not resolve"), 1) << text;
  // Refused every time; said once, however often it is tried again.
  EXPECT_EQ(count(text, "Telemetry: sending to A@255.255.255.255:9 paused: socket error 10013"), 1) << text;
  EXPECT_EQ(count(text, "A@255.255.255.255:9 works again"), 0) << text;
  EXPECT_EQ(count(text, "gives no maximum engine speed"), 0);
}

TEST_F(TelemetryStage, SwitchedOffNothingIsSentAndNoSocketMade) {
  EXPECT_TRUE(pOff_.empty());
  EXPECT_EQ(log(offFolder_).find("Telemetry"), std::string::npos);
  EXPECT_NE(readFile(offFolder_ + "\\out\\calls.log").find("socket library not loaded"), std::string::npos);
}

// Sending allocates nothing: each frame of the run with telemetry on
// allocates what the same frame of the run without it allocates: driving,
// paused, at the restart, finished, and sending the end in the menu.
TEST_F(TelemetryStage, SendingAllocatesNothingPerFrame) {
  const Csv on = readCsv(on_ + "\\out\\timing.csv"), off = readCsv(offFolder_ + "\\out\\timing.csv");
  ASSERT_EQ(on.rows.size(), static_cast<std::size_t>(kFrames));
  ASSERT_EQ(off.rows.size(), static_cast<std::size_t>(kFrames));
  // From the second sending frame on (the first begins the stage), but for
  // the frame entering the menu (the settings are read again).
  for (int f = kDriveFrom + 1; f < kFrames; ++f) {
    if (f == kMenuFrom) continue;
    EXPECT_EQ(on.number(f, "allocations"), off.number(f, "allocations")) << "frame " << f;
  }
}

// The players' listener: started as a player starts it, on a port it picks
// and names, fed format A packets until a line names them, then format B
// until a line names those: its once-a-second lines name the format, the
// rate and the values, however slowly the machine runs it.
TEST(TelemetryListener, SaysWhatArrivesOnItsPort) {
  Winsock winsock;
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
  // --seconds is only the hang guard: the test ends it once it has seen both.
  const double guard = guardSeconds(120);
  std::string command = "\"" + testing_support::buildDir() + "\\tools\\telemetry\\telemetry-listen.exe\" 0 --seconds " +
                        std::to_string(static_cast<int>(guard));
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(writeEnd);
  std::string output;
  char chunk[512];
  DWORD got = 0;
  const auto readWhatIsThere = [&] {
    DWORD waiting = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr) && waiting &&
           ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got)
      output.append(chunk, got);
  };
  // Read until it says where it listens.
  const std::string listening = "listening on UDP port ";
  while (output.find('\n', output.find(listening)) == std::string::npos &&
         ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got)
    output.append(chunk, got);
  const std::size_t at = output.find(listening);
  ASSERT_NE(at, std::string::npos) << output;
  const unsigned port = static_cast<unsigned>(std::atoi(output.c_str() + at + listening.size()));
  ASSERT_GT(port, 0u) << output;

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
  // A stage's phases first, in the order a stage has them: the pre-start,
  // the start, a pause, the finish at 40.25 s and the end.
  struct PhasePacket {
    float lapTime, distance, completed, lastLap;
    int times;
  };
  float runTime = 0.0f;
  const float totalLaps = 1.0f;
  for (const PhasePacket& k : {PhasePacket{0, 0, 0, 0, 2}, PhasePacket{1, 10, 0, 0, 1}, PhasePacket{2, 20, 0, 0, 3},
                               PhasePacket{3, 30, 0, 0, 1}, PhasePacket{40.25f, 50, 1, 40.25f, 2},
                               PhasePacket{0, 0, 1, 40.25f, 3}}) {
    std::uint8_t p[264] = {};
    std::memcpy(p, a, sizeof p);
    std::memcpy(p + 4, &k.lapTime, 4);
    std::memcpy(p + 8, &k.distance, 4);
    std::memcpy(p + 236, &k.completed, 4);
    std::memcpy(p + 240, &totalLaps, 4);
    std::memcpy(p + 248, &k.lastLap, 4);
    for (int i = 0; i < k.times; ++i) {
      runTime += 0.1f;
      std::memcpy(p, &runTime, 4);
      ::sendto(s, reinterpret_cast<const char*>(p), sizeof p, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
  }
  bool sendingB = false;
  while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
    ::sendto(s, reinterpret_cast<const char*>(sendingB ? b : a), sendingB ? 92 : 264, 0,
             reinterpret_cast<sockaddr*>(&to), sizeof to);
    readWhatIsThere();
    if (!sendingB && output.find("format A") != std::string::npos) sendingB = true;
    if (sendingB && output.find("format B") != std::string::npos) break;
  }
  ::closesocket(s);
  const bool stillRunning = WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 30000);
  readWhatIsThere();
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(readEnd);
  EXPECT_TRUE(stillRunning) << "it ended before it named both formats (the hang guard?)\n" << output;
  EXPECT_NE(output.find("format A"), std::string::npos) << output;
  EXPECT_NE(output.find("speed   90.0 km/h   7600 rpm"), std::string::npos) << output;
  EXPECT_NE(output.find("gear 3"), std::string::npos) << output;
  EXPECT_NE(output.find("format B"), std::string::npos) << output;
  EXPECT_NE(output.find(" 5500 rpm  gear 1"), std::string::npos) << output;
  EXPECT_NE(output.find("packets/s"), std::string::npos) << output;
  // Each phase once, in order.
  std::size_t from = 0;
  for (const char* phase : {"phase: stage started", "phase: paused", "phase: resumed",
                            "phase: finished, stage time 40.25 s", "phase: stage over"}) {
    EXPECT_EQ(count(output, phase), 1) << phase << "\n" << output;
    const std::size_t found = output.find(phase, from);
    EXPECT_NE(found, std::string::npos) << phase << " out of order\n" << output;
    if (found != std::string::npos) from = found;
  }
}

// The telemetry code of the plug-in in this process, on a fake host's
// records while a stage is driven: what the frame does while a name is being
// resolved, and after.
namespace {

namespace tm = ostrel::telemetry;

std::atomic<DWORD> lookupThread{0};
std::atomic<int> lookups{0};
std::atomic<bool> namesResolve{false};
HANDLE lookupEntered = nullptr, lookupRelease = nullptr;

// Holds every lookup until the test lets it go; "later.test" then resolves.
bool heldLookup(const char* name, std::uint32_t& address) {
  lookupThread = GetCurrentThreadId();
  SetEvent(lookupEntered);
  WaitForSingleObject(lookupRelease, static_cast<DWORD>(guardSeconds(60) * 1000));
  address = htonl(INADDR_LOOPBACK);
  return std::strcmp(name, "later.test") == 0;
}
// Fails until the test lets names resolve.
bool flakyLookup(const char*, std::uint32_t& address) {
  ++lookups;
  address = htonl(INADDR_LOOPBACK);
  return namesResolve.load();
}

class TelemetryInProcess : public testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(".\\Plugins", nullptr);
    CreateDirectoryA(ostrel::pluginFolder().c_str(), nullptr);
    host_.install();
    host_.mode(ostrel::host::kModeDrivingStage);
    host_.rpm(7600);
    host_.gear(3);
    logFrom_ = testing_support::pluginLog().size();
  }
  void TearDown() override {
    tm::stopTelemetry();
    tm::setNameLookup(nullptr);
    ostrel::host::pointers() = {};
  }
  static void configure(const std::string& targets) {
    using tm::StoredTelemetry;
    tm::store(&StoredTelemetry::rate, 0);
    tm::store(&StoredTelemetry::gearMap, tm::defaultGearMapText());
    tm::store(&StoredTelemetry::reverseCode, -1);
    tm::store(&StoredTelemetry::idleRpm, 800);
    tm::store(&StoredTelemetry::maxRpm, 8000);
    tm::store(&StoredTelemetry::targets, targets);
    tm::store(&StoredTelemetry::enabled, 1);
  }
  std::string log() const { return testing_support::pluginLogSince(logFrom_); }
  // Frames until `receiver` has `count` datagrams, at most the hang guard.
  static bool framesUntil(Receiver& receiver, std::size_t count) {
    const DWORD start = GetTickCount();
    for (;;) {
      tm::telemetryFrame();
      if (receiver.waitFor(count, 0.05)) return true;
      if (GetTickCount() - start > guardSeconds(60) * 1000.0) return false;
    }
  }

  Winsock winsock_;
  testing_support::FakeHost host_;
  std::size_t logFrom_ = 0;
};

// The lookup runs on a thread of its own: while it is held, every frame
// returns and sends to the numeric target; the named one gets packets once
// its name has resolved, and the thread ends when telemetry stops.
TEST_F(TelemetryInProcess, NamesAreLookedUpOffTheFramesThreadAndSentToOnceResolved) {
  lookupEntered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  lookupRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  tm::setNameLookup(&heldLookup);
  Receiver numeric, named;
  configure("A@127.0.0.1:" + std::to_string(numeric.port()) + ", B@later.test:" + std::to_string(named.port()));
  for (std::size_t frame = 1; frame <= 3; ++frame) {
    tm::telemetryFrame();
    EXPECT_TRUE(numeric.waitFor(frame)) << "frame " << frame << " sent to the numeric target";
  }
  ASSERT_EQ(WaitForSingleObject(lookupEntered, static_cast<DWORD>(guardSeconds(60) * 1000)), WAIT_OBJECT_0);
  EXPECT_NE(lookupThread.load(), GetCurrentThreadId()) << "looked up on the frame's thread";
  EXPECT_TRUE(named.packets().empty()) << "sent before the name resolved";
  SetEvent(lookupRelease);
  EXPECT_TRUE(framesUntil(named, 1)) << "never sent to the resolved name";
  EXPECT_EQ(named.packets().front().size(), 92u);
  EXPECT_EQ(count(log(), "does not resolve"), 0) << log();
  EXPECT_EQ(count(log(), "Telemetry: sending format B to later.test:"), 1) << log();

  tm::stopTelemetry();
  const DWORD start = GetTickCount();
  while (tm::resolverThreadsRunning() > 0 && GetTickCount() - start < guardSeconds(60) * 1000.0) Sleep(10);
  EXPECT_EQ(tm::resolverThreadsRunning(), 0) << "the resolver's thread did not end";
  CloseHandle(lookupEntered);
  CloseHandle(lookupRelease);
}

// A name that does not resolve is tried again after each pause, said once
// (with the spelling it may have meant), and sent to once it resolves, which
// is said once too. The system's resolver finds "localhost" the same way.
TEST_F(TelemetryInProcess, AFailingNameIsRetriedSaidOnceAndSentToWhenItResolves) {
  lookups = 0;
  namesResolve = false;
  tm::setNameLookup(&flakyLookup, 0.05);
  Receiver numeric, named;
  configure("A@127.0.0.1:" + std::to_string(numeric.port()) + ", B@localhots:" + std::to_string(named.port()));
  const DWORD start = GetTickCount();
  while (lookups < 3 && GetTickCount() - start < guardSeconds(60) * 1000.0) tm::telemetryFrame();
  ASSERT_GE(lookups.load(), 3) << "a failed name is tried again";
  tm::telemetryFrame();
  EXPECT_TRUE(named.packets().empty());
  EXPECT_EQ(count(log(), "\"B@localhots:"), 1) << log();
  EXPECT_EQ(count(log(), "the name \"localhots\" does not resolve; did you mean localhost?; trying again every 5 seconds"), 1)
      << log();
  namesResolve = true;
  EXPECT_TRUE(framesUntil(named, 1)) << "never sent to the name once it resolved";
  EXPECT_EQ(count(log(), "the name \"localhots\" of target B@localhots:"), 1) << log();
  EXPECT_NE(log().find("resolves now; sending to it"), std::string::npos) << log();

  tm::setNameLookup(nullptr);  // the system's resolver
  Receiver local;
  configure("B@localhost:" + std::to_string(local.port()));
  EXPECT_TRUE(framesUntil(local, 1)) << "localhost never resolved\n" << log();
}

// A send the system refuses pauses that target, said once; the others are
// sent to every frame, and the refused one is tried again after the pause.
TEST_F(TelemetryInProcess, ARefusedSendPausesThatTargetOnly) {
  test_support::ManualClock clock;
  Receiver numeric;
  configure("A@255.255.255.255:9, A@127.0.0.1:" + std::to_string(numeric.port()));
  for (std::size_t frame = 1; frame <= 12; ++frame) {
    tm::telemetryFrame();
    clock.advance(frame == 6 ? tm::kRetryPauseSeconds : 0.1);  // the pause over after frame 6
  }
  EXPECT_TRUE(numeric.waitFor(12));
  const std::string text = log();
  EXPECT_EQ(count(text, "Telemetry: sending to A@255.255.255.255:9 paused: socket error 10013"), 1) << text;
  EXPECT_EQ(count(text, "stopped"), 0) << text;
}

// A receiver that closes mid-stage (the player's tool quits) and opens again
// on its port: packets arrive again, and nothing is logged per frame. The
// socket library is this program's too, loaded before telemetry opened a
// socket, and another module's start-up and clean-up of it do not stop the
// plug-in's sends.
TEST_F(TelemetryInProcess, AReceiverThatClosesAndOpensAgainGetsPacketsAgainWithoutALinePerFrame) {
  ASSERT_NE(GetModuleHandleA("ws2_32.dll"), nullptr) << "this program loads the socket library itself";
  auto receiver = std::make_unique<Receiver>();
  const unsigned port = receiver->port();
  configure("A@127.0.0.1:" + std::to_string(port));
  ASSERT_TRUE(framesUntil(*receiver, 3));
  const std::string linesBefore = log();
  receiver.reset();  // closed: the sends meet no listener
  for (int frame = 0; frame < 20; ++frame) tm::telemetryFrame();
  { Winsock anotherModule; }  // starts the library and cleans up after itself
  receiver = std::make_unique<Receiver>(port);
  if (!receiver->bound()) GTEST_SKIP() << "port " << port << " was taken by another program in between; not checked";
  EXPECT_TRUE(framesUntil(*receiver, 3)) << "no packets once the receiver is back";
  EXPECT_EQ(log(), linesBefore) << "logged while no one listened";
}

// Each way a stage ends for the player, in this process on a clock of the
// test's: the end's packets (stage time and distance 0), then nothing.
TEST_F(TelemetryInProcess, EachWayAStageEndsSendsTheEndThenNothing) {
  struct Case {
    const char* what;
    void (*end)(testing_support::FakeHost&, test_support::ManualClock&);
    bool finished;  // the end carries the result
  };
  const Case cases[] = {
      {"the car goes away", [](testing_support::FakeHost& h, test_support::ManualClock&) { h.noCar(); }, false},
      {"the menus", [](testing_support::FakeHost& h, test_support::ManualClock&) { h.mode(ostrel::host::kModeMenus); },
       false},
      {"the result shown",
       [](testing_support::FakeHost& h, test_support::ManualClock& clock) {
         h.finished(1);
         tm::telemetryFrame();  // the finish
         clock.advance(tm::StagePhases::kResultSeconds);
       },
       true},
  };
  const std::size_t endPackets = tm::StagePhases::kEndPackets;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::ManualClock clock;
    testing_support::FakeHost host;
    host.install();
    host.mode(ostrel::host::kModeDrivingStage);
    host.rpm(7600);
    host.stageTime(12.5f);
    Receiver receiver;
    configure("A@127.0.0.1:" + std::to_string(receiver.port()));
    tm::telemetryFrame();
    ASSERT_TRUE(receiver.waitFor(1));
    c.end(host, clock);
    for (std::size_t frame = 0; frame < endPackets + 10; ++frame) tm::telemetryFrame();
    receiver.waitFor(1 + (c.finished ? 1 : 0) + endPackets, 1.0);
    const auto& packets = receiver.packets();
    ASSERT_EQ(packets.size(), 1 + (c.finished ? 1u : 0u) + endPackets) << "then nothing";
    for (std::size_t i = packets.size() - endPackets; i < packets.size(); ++i) {
      EXPECT_EQ(floatAt(packets[i], 4), 0.0f) << "stage time " << i;
      EXPECT_EQ(floatAt(packets[i], 236), c.finished ? 1.0f : 0.0f) << "laps completed " << i;
      EXPECT_EQ(floatAt(packets[i], 248), c.finished ? 12.5f : 0.0f) << "last lap time " << i;
      EXPECT_EQ(floatAt(packets[i], 148), 760.0f) << "engine speed kept " << i;
    }
    tm::stopTelemetry();
    ostrel::host::pointers() = {};
  }
}

}  // namespace
