// The start-up configuration: which file to read, and the three settings taken from
// its parse tree.
#include "host_core.h"

#include "kvtree.h"
#include "log.h"

#include <ctype.h>
#include <string.h>

namespace {

struct SettingKey {
    const char* key;
    char* setting; // kSettingSize characters
};

// Compares without regard to ASCII case, as the platform's _stricmp does in the C
// locale; written out so the lookup is the same on every platform.
bool SameKey(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const int ca = tolower(static_cast<unsigned char>(*a));
        const int cb = tolower(static_cast<unsigned char>(*b));
        if (ca != cb) {
            return false;
        }
        if (ca == 0) {
            return true;
        }
    }
}

} // namespace

void SetDefaultSettings(GameSettings* settings) {
    CopyBounded(settings->gameClassName, kSettingSize, "TestGame");
    CopyBounded(settings->classFolder, kSettingSize, "Java");
    CopyBounded(settings->packedClasses, kSettingSize, "code");
}

const char* ConfigurationPath() {
    const size_t switchLength = strlen(kConfigurationSwitch);
    const char* path = kDefaultConfigurationPath;
    for (int i = 0; i < cmdArgCount; ++i) {
        if (strncmp(cmdArgs[i], kConfigurationSwitch, switchLength) == 0) {
            path = cmdArgs[i] + switchLength;
        }
    }
    return path;
}

void ApplySettings(const CKVPARSE_KEYWORD* chain, GameSettings* settings) {
    const SettingKey keys[] = {
        {"JavaGameClassName", settings->gameClassName},
        {"JavaClasses", settings->classFolder},
        {"JavaClassesPacked", settings->packedClasses},
    };
    for (const CKVPARSE_KEYWORD* node = chain; node != nullptr; node = node->next) {
        for (const SettingKey& entry : keys) {
            if (!SameKey(node->name, entry.key)) {
                continue;
            }
            const char* text = node->GetFirstString();
            if (text == nullptr) {
                continue; // nothing to copy: the setting keeps its value
            }
            // A cut class name or folder would name something else; keep the value
            // the setting had and say why.
            if (strlen(text) > kSettingSize - 1) {
                LogWrite("Configuration: the value of '%s' is longer than %u characters and "
                         "is ignored\n",
                         entry.key, static_cast<unsigned>(kSettingSize - 1));
                continue;
            }
            CopyBounded(entry.setting, kSettingSize, text);
        }
    }
}
