// Stand-in until the detection pass lands: refreshes the patch facts only.
#include "detect/detection.h"

#include "ui/main_window.h"

void detectGameFolders(MainWindow& window) {
    window.candidates.clear();
    window.selectedIndex = 0;
    window.patchPresent = isFile(window.patchPath);
    window.patchSize = window.patchPresent ? fileSize(window.patchPath) : 0;
}
