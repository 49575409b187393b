// The four exports of TarvexEngine2.dll (cdecl, undecorated, listed in
// interfaces/TarvexEngine2.def). Each call appends its line to engine.log.
#include "engine_game.h"
#include "engine_log.h"
#include "engine_platform.h"
#include "engine_scenarios.h"
#include "engine_text.h"

namespace {

// The interface version the host expects: 1 in each 16-bit half.
const unsigned kEngineDllVersion = 0x10001;
const char kVersionVariable[] = "TARVEX_ENGINE_VERSION";
// Room for the variable's value: "0x" and eight digits, or ten decimal digits, with
// some slack so a longer value is seen as too long rather than cut.
const DWORD kVersionTextSize = 32;

// What InitializeGameScript received, shown by the demo window. Plain data, so it
// needs no constructor (the DLL has no entry point to run one).
EngineSettings settings;

size_t NumberOf(const void* pointer) {
    return reinterpret_cast<size_t>(pointer);
}

// The number TARVEX_ENGINE_VERSION asks for; the real version when it is not set or
// not a number (the bad value is noted in the log).
unsigned RequestedVersion() {
    char text[kVersionTextSize];
    DWORD length = GetEnvironmentVariableA(kVersionVariable, text, kVersionTextSize);
    if (length == 0) {
        return kEngineDllVersion;
    }
    unsigned version = 0;
    if (length >= kVersionTextSize) {
        // The buffer holds nothing usable then; the length says enough.
        CLogLine line("event", "badEngineVersion");
        line.AddUnsigned("length", length - 1);
        line.Write();
        return kEngineDllVersion;
    }
    if (!ParseUnsigned(text, length, &version)) {
        CLogLine line("event", "badEngineVersion");
        line.AddText("value", text);
        line.Write();
        return kEngineDllVersion;
    }
    return version;
}

void CopySetting(char* dest, const char* value) {
    CopyText(dest, kSettingSize, value, value != nullptr ? strlen(value) : 0);
}

} // namespace

extern "C" {

unsigned GetEngineDllVersion(void) {
    unsigned version = RequestedVersion();
    CLogLine line("call", "GetEngineDllVersion");
    line.AddUnsigned("result", version);
    line.Write();
    return version;
}

int InitializeGameScript(HINSTANCE instance, const char* classFolder, const char* packedClasses,
                         const char* gameClassName) {
    CLogLine line("call", "InitializeGameScript");
    line.AddUnsigned("instance", NumberOf(instance));
    line.AddText("classFolder", classFolder);
    line.AddText("packedClasses", packedClasses);
    line.AddText("gameClassName", gameClassName);
    line.Write();
    CopySetting(settings.classFolder, classFolder);
    CopySetting(settings.packedClasses, packedClasses);
    CopySetting(settings.gameClassName, gameClassName);
    return 1;
}

// Null when the class name carries "createfail" or memory is short; the caller owns
// the game and ends it through its DeletingDestructor slot.
CStandinGame* CreateGame(const char* gameClassName, HINSTANCE instance, int mode) {
    CLogLine line("call", "CreateGame");
    line.AddText("gameClassName", gameClassName);
    line.AddUnsigned("instance", NumberOf(instance));
    line.AddInt("mode", mode);
    line.Write();

    Scenario scenario;
    ClearScenario(&scenario);
    ReadScenarioWords(gameClassName, true, &scenario);
    if (scenario.createFail) {
        LogEvent("createFailed");
        return nullptr;
    }
    if (scenario.createFault) {
        LogEvent("createFault");
        RaiseScenarioFault(kFaultAccessViolation);
    }
    char classProper[kScenarioNameSize];
    ClassProper(gameClassName, classProper, sizeof(classProper));
    void* memory = malloc(sizeof(CStandinGame));
    if (memory == nullptr) {
        LogEvent("outOfMemory");
        return nullptr;
    }
    return new (memory) CStandinGame(instance, classProper, scenario, &settings);
}

int UninitializeGameScript(void) {
    LogCall("UninitializeGameScript");
    UnregisterDemoWindowClass();
    return 1;
}

} // extern "C"
