// TFSplash: the picture shown for a second while the program starts, with the
// product name and the version written over it.
#pragma once

#include <QWidget>
#include <string>

class QLabel;

namespace orv {

class TFSplash : public QWidget {
    Q_OBJECT
public:
    explicit TFSplash(const std::string& versionString);

    QLabel* Image1 = nullptr;
    QLabel* sName1 = nullptr;
    QLabel* sName2 = nullptr;
    QLabel* sVer1 = nullptr;
    QLabel* sVer2 = nullptr;
};

}  // namespace orv
