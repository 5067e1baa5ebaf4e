// A list of text lines (one line per entry), read-only for the user.
#pragma once

#include <QListWidget>

#include <string>

class CGDIpTextListCtrl : public QListWidget {
    Q_OBJECT
  public:
    explicit CGDIpTextListCtrl(QWidget* parent = nullptr);

    void addLine(const std::wstring& line);
    void clearLines();
    int lineCount() const { return count(); }
    std::wstring line(int index) const;
    void redraw();
};
