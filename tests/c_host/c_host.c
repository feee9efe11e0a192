/* A host of our own, in C: its game-services object is a hand-made vtable of
 * thiscall functions that record every call, and it drives the plug-in only
 * through the exported entry and the plug-in's vtable slots, as the host's
 * MSVC build does.
 *
 *   c_host_tests <dll>          first run in a fresh game folder
 *   c_host_tests --second <dll> started by the first run in the same folder:
 *                               the saved settings must show on the page */
#include <windows.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define THISCALL __attribute__((thiscall))

/* ---- checks ---- */
static int passed, failed;
static void check(int ok, const char* what, ...) {
  if (ok) { ++passed; return; }
  ++failed;
  va_list args;
  va_start(args, what);
  printf("FAILED: ");
  vprintf(what, args);
  printf("\n");
  va_end(args);
}

/* ---- the recording host ---- */
#define MAX_CALLS 512
static char calls[MAX_CALLS][256];
static int callCount;
static int reservedCalls; /* slots the plug-in must never call */

static void record(const char* format, ...) {
  if (callCount >= MAX_CALLS) return;
  va_list args;
  va_start(args, format);
  vsnprintf(calls[callCount++], sizeof calls[0], format, args);
  va_end(args);
}

struct Host;
struct HostVtbl {
  void(THISCALL* reserved1)(struct Host*);
  void(THISCALL* reserved2)(struct Host*);
  void(THISCALL* WriteText)(struct Host*, float, float, const char*);
  void(THISCALL* DrawMarker)(struct Host*, int, float, float);
  void(THISCALL* reserved5)(struct Host*);
  void(THISCALL* PrepareMenuPage)(struct Host*, uint32_t, uint32_t, uint32_t, uint32_t);
  void(THISCALL* DrawHighlightBox)(struct Host*, float, float, float, float);
  void(THISCALL* reserved8)(struct Host*);
  void(THISCALL* BeginDrawModes)(struct Host*, int);
  void(THISCALL* EndDrawModes)(struct Host*, int);
  void(THISCALL* SelectFont)(struct Host*, int);
  void(THISCALL* SelectTextMode)(struct Host*, int);
  void(THISCALL* SetColor)(struct Host*, float, float, float, float);
};
struct Host {
  const struct HostVtbl* vtbl;
  int id;
};

static void THISCALL hReserved1(struct Host* h) {
  ++reservedCalls;
  record("%d reserved1", h->id);
}
static void THISCALL hReserved2(struct Host* h) {
  ++reservedCalls;
  record("%d reserved2", h->id);
}
static void THISCALL hWriteText(struct Host* h, float x, float y, const char* t) {
  record("%d WriteText %g %g %s", h->id, x, y, t ? t : "<null>");
}
static void THISCALL hDrawMarker(struct Host* h, int g, float x, float y) {
  record("%d DrawMarker %d %g %g", h->id, g, x, y);
}
static void THISCALL hReserved5(struct Host* h) {
  ++reservedCalls;
  record("%d reserved5", h->id);
}
static void THISCALL hPrepare(struct Host* h, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  record("%d PrepareMenuPage %u %u %u %u", h->id, a, b, c, d);
}
static void THISCALL hHighlight(struct Host* h, float x, float y, float w, float hh) {
  record("%d DrawHighlightBox %g %g %g %g", h->id, x, y, w, hh);
}
static void THISCALL hReserved8(struct Host* h) {
  ++reservedCalls;
  record("%d reserved8", h->id);
}
static void THISCALL hBegin(struct Host* h, int m) { record("%d BeginDrawModes %d", h->id, m); }
static void THISCALL hEnd(struct Host* h, int m) { record("%d EndDrawModes %d", h->id, m); }
static void THISCALL hFont(struct Host* h, int f) { record("%d SelectFont %d", h->id, f); }
static void THISCALL hTextMode(struct Host* h, int m) { record("%d SelectTextMode %d", h->id, m); }
static void THISCALL hColor(struct Host* h, float r, float g, float b, float a) {
  record("%d SetColor %g %g %g %g", h->id, r, g, b, a);
}

static const struct HostVtbl hostVtbl = {hReserved1, hReserved2, hWriteText, hDrawMarker, hReserved5,
                                         hPrepare,   hHighlight, hReserved8, hBegin,      hEnd,
                                         hFont,      hTextMode,  hColor};

/* ---- the plug-in as the host sees it: nine vtable slots ---- */
typedef void*(THISCALL* DestroyFn)(void*, unsigned);
typedef const char*(THISCALL* QueryNameFn)(void*);
typedef void(THISCALL* NoArgFn)(void*);
typedef void(THISCALL* InputFn)(void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);
typedef void(THISCALL* TickFn)(void*, float);
typedef void(THISCALL* Three32Fn)(void*, uint32_t, uint32_t, uint32_t);
typedef void(THISCALL* Four32Fn)(void*, uint32_t, uint32_t, uint32_t, uint32_t);
typedef void*(__cdecl* CreateFn)(struct Host*);

static void** slots(void* plugin) { return *(void***)plugin; }
static void* destroyPlugin(void* p, unsigned flags) { return ((DestroyFn)slots(p)[0])(p, flags); }
static const char* queryName(void* p) { return ((QueryNameFn)slots(p)[1])(p); }
static void drawPage(void* p) { ((NoArgFn)slots(p)[2])(p); }
static void input(void* p, int up, int down, int decrease, int increase, int select) {
  ((InputFn)slots(p)[4])(p, 0, up, down, decrease, increase, select);
}
static void tick(void* p, float elapsed) { ((TickFn)slots(p)[5])(p, elapsed); }

/* ---- helpers ---- */
static int findCall(const char* text) {
  for (int i = 0; i < callCount; ++i)
    if (strcmp(calls[i], text) == 0) return i;
  return -1;
}
static int countPrefix(const char* prefix) {
  int n = 0;
  for (int i = 0; i < callCount; ++i) n += strncmp(calls[i], prefix, strlen(prefix)) == 0;
  return n;
}
static int exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

static char* readLog(void) {
  static char text[65536];
  text[0] = 0;
  HANDLE f = CreateFileA(".\\Plugins\\OSTREL\\OSTREL.log", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         NULL, OPEN_EXISTING, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return text;
  DWORD n = 0;
  ReadFile(f, text, sizeof text - 1, &n, NULL);
  text[n] = 0;
  CloseHandle(f);
  return text;
}

static void removeTree(const char* folder) {
  char pattern[MAX_PATH];
  snprintf(pattern, sizeof pattern, "%s\\*", folder);
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA(pattern, &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, "..")) continue;
      char path[MAX_PATH];
      snprintf(path, sizeof path, "%s\\%s", folder, entry.cFileName);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(path);
      else DeleteFileA(path);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(folder);
}

static int storedInt(const char* feature, const char* section, const char* key) {
  char path[MAX_PATH];
  snprintf(path, sizeof path, ".\\Plugins\\OSTREL\\%s.ini", feature);
  return (int)GetPrivateProfileIntA(section, key, -12345, path);
}

/* The rows of a drawn page in the default scroll position, as "label|value". */
static void expectRowValue(int hostId, int row, const char* label, const char* value) {
  char text[256];
  float y = 52.0f + 21.0f * (float)row;
  snprintf(text, sizeof text, "%d WriteText 105 %g %s", hostId, y, label);
  check(findCall(text) >= 0, "row %d label: %s", row, text);
  snprintf(text, sizeof text, "%d WriteText 500 %g %s", hostId, y, value);
  check(findCall(text) >= 0, "row %d value: %s", row, text);
}

/* The row of a label (compared without its leading spaces) on the page as
   drawn last, -1 when it is not there: rows are found by what they say, so a
   new entry does not move the checks. */
static int rowOfLabel(int hostId, const char* label) {
  char prefix[64];
  snprintf(prefix, sizeof prefix, "%d WriteText 105 ", hostId);
  const size_t n = strlen(prefix);
  for (int i = 0; i < callCount; ++i) {
    if (strncmp(calls[i], prefix, n) != 0) continue;
    const char* y = calls[i] + n;
    const char* text = strchr(y, ' ');
    if (!text) continue;
    while (*text == ' ') ++text;
    if (strcmp(text, label) == 0) return (int)((atof(y) - 52.0) / 21.0 + 0.5);
  }
  return -1;
}

/* The value a labelled row shows. */
static void expectRow(int hostId, const char* label, const char* value) {
  const int row = rowOfLabel(hostId, label);
  check(row >= 0, "a row says %s", label);
  if (row < 0) return;
  char text[256];
  snprintf(text, sizeof text, "%d WriteText 500 %g %s", hostId, 52.0f + 21.0f * (float)row, value);
  check(findCall(text) >= 0, "%s shows %s", label, value);
}

static void* loadAndCreate(const char* dll, struct Host* host, HMODULE* module) {
  *module = LoadLibraryA(dll);
  check(*module != NULL, "LoadLibrary %s (error %lu)", dll, GetLastError());
  if (!*module) return NULL;
  CreateFn create = (CreateFn)(void*)GetProcAddress(*module, "KVX_CreatePlugin");
  check(create != NULL, "KVX_CreatePlugin is exported");
  return create ? create(host) : NULL;
}

/* ---- the two runs ---- */
static void firstRun(const char* dll, const char* self) {
  struct Host host = {&hostVtbl, 1}, other = {&hostVtbl, 2};
  check(!exists(".\\Plugins"), "the game folder starts empty");

  HMODULE module;
  void* plugin = loadAndCreate(dll, &host, &module);
  if (!plugin) return;
  check(exists(".\\Plugins\\OSTREL\\OSTREL.log"), "the first run writes a log");
  const char* log = readLog();
  check(strstr(log, "Creating plug-in OSTREL.\r\n") != NULL, "opening line logged: [%s]", log);
  check(strstr(log, "Could not create") == NULL, "no folder error: [%s]", log);

  CreateFn create = (CreateFn)(void*)GetProcAddress(module, "KVX_CreatePlugin");
  check(create(&other) == plugin, "a second entry call returns the kept object");
  log = readLog();
  check(strstr(strstr(log, "Creating plug-in") + 1, "Creating plug-in") == NULL, "one opening line only");

  const char* name = queryName(plugin);
  check(name && strcmp(name, "OSTREL") == 0, "slot 2 names the plug-in: %s", name ? name : "<null>");

  callCount = 0;
  drawPage(plugin);
  static const char* head[] = {"1 PrepareMenuPage 0 0 0 0", "1 BeginDrawModes 64", "1 SelectTextMode 4",
                               "1 SelectFont 3", "1 BeginDrawModes 1"};
  for (int i = 0; i < 5; ++i)
    check(i < callCount && strcmp(calls[i], head[i]) == 0, "call %d: %s (got %s)", i, head[i],
          i < callCount ? calls[i] : "nothing");
  check(callCount > 5 && strncmp(calls[5], "1 WriteText 320 20 ", 19) == 0 && strstr(calls[5], "0.2.6.4"),
        "title at (320, 20) with the version: %s", callCount > 5 ? calls[5] : "");
  check(callCount > 8 && !strcmp(calls[6], "1 EndDrawModes 1") && !strcmp(calls[7], "1 SelectFont 0") &&
            !strcmp(calls[8], "1 SetColor 1 1 1 1"),
        "title bracket closed, body font and white");
  check(callCount > 10 && !strncmp(calls[9], "1 WriteText 455 460 ", 20) &&
            !strncmp(calls[10], "1 WriteText 515 440 ", 20),
        "the two fixed lines");
  check(callCount > 11 && !strcmp(calls[11], "1 DrawHighlightBox 100 50 440 21"), "highlight on row 0");
  check(!strcmp(calls[callCount - 1], "1 EndDrawModes 64"), "page bracket closed last");
  const int damageRow = rowOfLabel(1, "Car Damage HUD"), refreshRow = rowOfLabel(1, "Refresh Rate(Experimental)"),
            saveRow = rowOfLabel(1, "Save Settings");
  check(saveRow >= 0 && countPrefix("1 WriteText 105 ") == saveRow + 1, "every row drawn, Save Settings last");
  check(damageRow >= 1 && refreshRow > damageRow && saveRow > refreshRow, "the rows in their order");
  expectRowValue(1, 0, "Tire HUD", "ON");
  expectRow(1, "Refresh Rate(Experimental)", "0");
  check(findCall("1 WriteText 100 400 Displays tire wear before the stage starts") >= 0, "description");
  check(countPrefix("2 ") == 0, "the page draws through the first host only");

  /* Car Damage HUD off, refresh rate 35, then "Save Settings". */
  for (int i = 0; i < damageRow; ++i) input(plugin, 0, 1, 0, 0, 0);
  input(plugin, 0, 0, 0, 1, 0);
  for (int i = damageRow; i < refreshRow; ++i) input(plugin, 0, 1, 0, 0, 0);
  for (int i = 0; i < 7; ++i) input(plugin, 0, 0, 0, 1, 0);
  input(plugin, 0x100, 0x200, 0, 0, 0x400); /* only low bytes count: nothing happens */
  callCount = 0;
  drawPage(plugin);
  expectRow(1, "Car Damage HUD", "OFF");
  expectRow(1, "Refresh Rate(Experimental)", "35");
  char highlight[64];
  snprintf(highlight, sizeof highlight, "1 DrawHighlightBox 100 %d 440 21", 50 + 21 * refreshRow);
  check(findCall(highlight) >= 0, "refresh rate row selected");

  callCount = 0;
  tick(plugin, 0.25f);
  check(callCount == 0, "nothing shown before a save");
  for (int i = refreshRow + 1; i < saveRow; ++i) input(plugin, 0, 1, 0, 0, 0); /* past the switches below, left as they are */
  input(plugin, 0, 1, 0, 0, 1);
  check(storedInt("carDamageHUD", "HUD", "Enabled") == 0, "car damage switch saved off");
  check(storedInt("TireHUD", "HUD", "Enabled") == 1, "tire switch saved on");
  check(storedInt("carDamageHUD", "HUD", "Autohide") == 1, "autohide saved on");
  check(storedInt("DamagedPartTableHUD", "HUD", "Enabled") == 1, "table switch saved on");
  check(storedInt("gauges", "Gauges", "Enabled") == 1, "gauges saved on");
  check(storedInt("gauges", "Gauges", "RefreshRate") == 35, "refresh rate saved as 35");
  for (int i = 0; i < 6; ++i) tick(plugin, 0.25f);
  check(countPrefix("1 WriteText 280 460 SAVING CONFIGURATION") == 5 && callCount == 5,
        "save feedback in five ticks, not in the sixth (%d calls)", callCount);

  check(reservedCalls == 0, "no unused host slot was called (%d calls)", reservedCalls);

  destroyPlugin(plugin, 1);
  log = readLog();
  const size_t n = strlen(log);
  const char* closing = "Destroying plug-in OSTREL.\r\n";
  check(n >= strlen(closing) && strcmp(log + n - strlen(closing), closing) == 0, "closing line last: [%s]",
        log);

  /* Unloading lets go of the log: nobody else holds it open afterwards. */
  FreeLibrary(module);
  HANDLE f = CreateFileA(".\\Plugins\\OSTREL\\OSTREL.log", GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  check(f != INVALID_HANDLE_VALUE, "log released on unload (error %lu)", GetLastError());
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);

  /* A fresh process reads the saved values back onto its page. */
  char command[2 * MAX_PATH + 32];
  snprintf(command, sizeof command, "\"%s\" --second \"%s\"", self, dll);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    check(0, "second run could not start (error %lu)", GetLastError());
    return;
  }
  WaitForSingleObject(process.hProcess, 600000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  check(code == 0, "second run reads the saved settings back (exit %lu)", code);
}

static void secondRun(const char* dll) {
  struct Host host = {&hostVtbl, 3};
  HMODULE module;
  void* plugin = loadAndCreate(dll, &host, &module);
  if (!plugin) return;
  callCount = 0;
  drawPage(plugin);
  expectRow(3, "Tire HUD", "ON");
  expectRow(3, "Car Damage HUD", "OFF");
  expectRow(3, "Autohide", "ON");
  expectRow(3, "Damaged Part Table", "ON");
  expectRow(3, "Gauges", "ON");
  expectRow(3, "Refresh Rate(Experimental)", "35");
  const char* log = readLog();
  check(strstr(log, "Destroying") == NULL, "a new run starts a new log: [%s]", log);
  destroyPlugin(plugin, 1);
}

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IONBF, 0);
  char dll[MAX_PATH];
  const int second = argc > 2 && strcmp(argv[1], "--second") == 0;
  const char* given = second ? argv[2] : (argc > 1 ? argv[1] : "");
  /* CTest passes a Unix path; under Wine the Unix tree is drive Z:. */
  snprintf(dll, sizeof dll, "%s%s", given[0] == '/' ? "Z:" : "", given);
  for (char* c = dll; *c; ++c)
    if (*c == '/') *c = '\\';

  if (second) {
    secondRun(dll);
  } else {
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    removeTree("game");
    CreateDirectoryA("game", NULL);
    if (!SetCurrentDirectoryA("game")) {
      printf("cannot enter the game folder\n");
      return 2;
    }
    firstRun(dll, self);
  }
  printf("%s%d passed, %d failed\n", second ? "second run: " : "", passed, failed);
  return failed ? 1 : 0;
}
