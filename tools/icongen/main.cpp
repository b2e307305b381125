// icongen: writes the program icon, which the skin draws in code, as the PNG
// files of the desktop's icon theme: FOLDER/NxN/apps/orv-teletext.png.
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "windows/Skin.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: icongen FOLDER SIZE...\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = QString("%1/%2x%2/apps").arg(folder).arg(size);
        if (size <= 0 || !QDir().mkpath(dir) || !orv::skin::ProgramIcon(size).save(dir + "/orv-teletext.png")) {
            std::fprintf(stderr, "icongen: cannot write the %s-pixel icon into %s\n", argv[i], argv[1]);
            return 1;
        }
    }
    return 0;
}
