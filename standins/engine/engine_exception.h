// The exception the engine throws, by value, with the MSVC throw. Callers read the
// three fields behind the vtable pointer (offsets 4, 8 and 12 on 32-bit Windows); the
// texts must outlive the catch, so they are literals of the engine.
#pragma once

class CEngineException {
  public:
    CEngineException(const char* text, const char* file, int line);
    CEngineException(const CEngineException& other) = default;
    CEngineException& operator=(const CEngineException& other) = default;
    // Virtual so the class is polymorphic: the one leading word callers skip.
    virtual ~CEngineException();

    const char* message;
    const char* sourceFile;
    int sourceLine;
};
