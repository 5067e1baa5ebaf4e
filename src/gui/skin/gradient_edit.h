// The edit field and the stand-alone spin arrows beside it.
#pragma once

#include <QLineEdit>
#include <QWidget>

#include <string>

class QToolButton;

class CGDIpGradientEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit CGDIpGradientEdit(QWidget* parent = nullptr);

    void setCaption(const std::wstring& text);
    std::wstring caption() const;
};

// Two arrows, up and down. A click proposes a change of position: -1 for the up arrow and +1 for
// the down arrow, so a page computes value - delta x step. Holding an arrow repeats.
class CGDIpGradientSpinButtonCtrl : public QWidget {
    Q_OBJECT
  public:
    explicit CGDIpGradientSpinButtonCtrl(QWidget* parent = nullptr);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

  signals:
    void deltaPos(int delta);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    QToolButton* m_up;
    QToolButton* m_down;
};
