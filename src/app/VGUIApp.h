#pragma once
// The pictures shared by the whole run: the two marks drawn on frame
// thumbnails, each read from its file on first use and kept until the end.

#include <QImage>
#include <QString>
#include <optional>

class TUIApp {
public:
    // exeFolder: the program's folder; empty means the application object's,
    // or the running program's own when there is none yet.
    explicit TUIApp(const QString& exeFolder = {});
    ~TUIApp();
    TUIApp(const TUIApp&) = delete;
    TUIApp& operator=(const TUIApp&) = delete;

    // A missing or unreadable file gives a null picture, which draws nothing.
    const QImage& SelectFlagImage();
    const QImage& DeleteFlagImage();

private:
    const QImage& Mark(std::optional<QImage>& slot, const char* file);

    QString FExeFolder;
    std::optional<QImage> FSelectFlag;
    std::optional<QImage> FDeleteFlag;
};

extern TUIApp* UIApp;
