#include "config/output_driver_folder.h"

namespace tarnwick {

AFilePath OutputDriverFolder() {
    AFilePath folder;
    folder += kOutputDriverFolderName;
    return folder;
}

}  // namespace tarnwick
