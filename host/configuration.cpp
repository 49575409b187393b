// The start-up configuration: which file to read, and the three settings taken from
// its parse tree.
#include "host.h"

#include "kvtree.h"
#include "log.h"

#include <string.h>

namespace {

struct SettingKey {
    const char* key;
    char* setting; // kSettingSize characters
};

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
            if (_stricmp(node->name, entry.key) != 0) {
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
