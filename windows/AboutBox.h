// TAboutBox: the small "Info" box the logo button opens: product, version
// (with "DShow" while the capture library delivers the packets) and the number
// of pages in the cache, refreshed every half second. Borderless; dragged by
// its panel.
#pragma once

#include <QDialog>
#include <QPoint>
#include <functional>
#include <string>

class QFrame;
class QLabel;
class QTimer;

namespace orv {

class ImageButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox(QWidget& owner, const std::string& versionString, bool useCaptureDll, std::function<int()> pageCount);

    void Timer1Timer();

    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QFrame* Panel3 = nullptr;
    ImageButton* bClose = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* sPageCount = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPanels();
    std::function<int()> pageCount_;
    bool dragging_ = false;
    QPoint lastPos_;
};

}  // namespace orv
