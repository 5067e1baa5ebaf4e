#include "gui/skin/gradient_edit.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

CGDIpGradientEdit::CGDIpGradientEdit(QWidget* parent) : QLineEdit(parent) {}

void CGDIpGradientEdit::setCaption(const std::wstring& text)
{
    setText(toQString(text));
}

std::wstring CGDIpGradientEdit::caption() const
{
    return toWString(text());
}

namespace {

QToolButton* makeArrow(QWidget* parent, Qt::ArrowType arrow)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(400);
    button->setAutoRepeatInterval(80);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral(
        "QToolButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4977b3, stop:1 #1c2951);"
        " border: 1px solid #16203f; border-radius: 2px; }"
        "QToolButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5c8cc8, stop:1 "
        "#2a3d73); }"
        "QToolButton:pressed { background: #1c2951; }"
        "QToolButton:disabled { background: #a8acb2; border-color: #8c9096; }"));
    return button;
}

} // namespace

CGDIpGradientSpinButtonCtrl::CGDIpGradientSpinButtonCtrl(QWidget* parent)
    : QWidget(parent), m_up(makeArrow(this, Qt::UpArrow)), m_down(makeArrow(this, Qt::DownArrow))
{
    setFocusPolicy(Qt::StrongFocus);
    connect(m_up, &QToolButton::clicked, this, [this] { emit deltaPos(-1); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit deltaPos(1); });
}

void CGDIpGradientSpinButtonCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

void CGDIpGradientSpinButtonCtrl::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up)
        emit deltaPos(-1);
    else if (event->key() == Qt::Key_Down)
        emit deltaPos(1);
    else
        QWidget::keyPressEvent(event);
}

void CGDIpGradientSpinButtonCtrl::wheelEvent(QWheelEvent* event)
{
    const int dy = event->angleDelta().y();
    if (dy != 0 && isEnabled())
        emit deltaPos(dy > 0 ? -1 : 1);
    event->accept();
}
