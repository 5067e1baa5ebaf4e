#include "gui/skin/multi_page_ctrl.h"

#include "gui/skin/qt_text.h"
#include "gui/skin/theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace {

// Floors of the three fonts: the smallest window still reads at a glance.
constexpr int kTextFloor = 11;
constexpr int kValueFloor = 12;

QFont atLeast(QFont font, int pixels)
{
    font.setPixelSize(std::max(font.pixelSize(), pixels));
    return font;
}

QFont titleFont(const QFont& text)
{
    QFont f = text;
    f.setBold(true);
    return f;
}

} // namespace

CGDIpMultiPageCtrl::CGDIpMultiPageCtrl(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFonts({theme::baseFont(12), theme::baseFont(12), theme::baseFont(12)});
}

void CGDIpMultiPageCtrl::setFonts(const std::array<QFont, 3>& fonts)
{
    m_fonts = {atLeast(fonts[0], kTextFloor), atLeast(fonts[1], textfit::kFloorPixels),
               atLeast(fonts[2], kValueFloor)};
    recalcLayout();
}

std::vector<CTextBox> CGDIpMultiPageCtrl::textBoxes() const
{
    if (!m_right || m_rightTitle.isEmpty())
        return {};
    const QRectF box = QRectF(m_layout.rightTitle).adjusted(10, 0, -10, 0);
    return {{m_rightTitle, textfit::fitted(m_rightTitle, titleFont(m_fonts.text), box, false), box, false}};
}

CGDIpMultiPageCtrl::~CGDIpMultiPageCtrl() = default;

int CGDIpMultiPageCtrl::insertPage(const std::wstring& title, CGDIpMultiPageDialog* page,
                                   const CGDIpMultiPageGradientButton* buttonTemplate)
{
    auto* button = new CGDIpMultiPageGradientButton(this);
    if (buttonTemplate)
        button->copyTabStyle(*buttonTemplate);
    button->setCaption(title);
    const int index = tabCount();
    connect(button, &QPushButton::clicked, this, [this, button] {
        for (int i = 0; i < tabCount(); ++i) {
            if (m_tabs[static_cast<size_t>(i)].button == button)
                activatePage(i);
        }
        // A click on the active tab must not uncheck it.
        button->setChecked(m_active >= 0 && m_tabs[static_cast<size_t>(m_active)].button == button);
    });
    page->setParent(this);
    page->hide();
    m_tabs.push_back({page, button});
    m_pages.push_back(page);
    recalcLayout();
    page->initialiseOnce();
    button->show();
    return index;
}

void CGDIpMultiPageCtrl::insertRightPage(const std::wstring& title, CGDIpMultiPageDialog* page)
{
    page->setParent(this);
    m_right = page;
    m_rightTitle = toQString(title);
    m_pages.push_back(page);
    recalcLayout();
    page->show();
    page->initialiseOnce();
}

void CGDIpMultiPageCtrl::insertCenterBottomPage(const std::wstring&, CGDIpMultiPageDialog* page)
{
    // The strip's title names it for the program only; the strip shows no heading.
    page->setParent(this);
    m_bottom = page;
    m_pages.push_back(page);
    recalcLayout();
    page->show();
    page->initialiseOnce();
}

bool CGDIpMultiPageCtrl::activatePage(int tabIndex)
{
    if (tabIndex < 0 || tabIndex >= tabCount())
        return false;
    if (tabIndex == m_active)
        return true;
    const int old = m_active;
    if (old >= 0) {
        Tab& before = m_tabs[static_cast<size_t>(old)];
        before.page->v_deactivate();
        before.page->hide();
        before.button->setChecked(false);
    }
    m_active = tabIndex;
    Tab& now = m_tabs[static_cast<size_t>(tabIndex)];
    now.button->setChecked(true);
    now.page->show();
    now.page->raise();
    now.page->v_activate();
    update();
    emit pageActivated(tabIndex);
    return true;
}

CGDIpMultiPageDialog* CGDIpMultiPageCtrl::activePage() const
{
    return m_active >= 0 ? m_tabs[static_cast<size_t>(m_active)].page : nullptr;
}

void CGDIpMultiPageCtrl::setPageTitle(int tabIndex, const std::wstring& title)
{
    if (tabIndex < 0 || tabIndex >= tabCount())
        return;
    m_tabs[static_cast<size_t>(tabIndex)].button->setCaption(title);
    recalcLayout();
}

std::wstring CGDIpMultiPageCtrl::pageTitle(int tabIndex) const
{
    if (tabIndex < 0 || tabIndex >= tabCount())
        return {};
    return m_tabs[static_cast<size_t>(tabIndex)].button->caption();
}

CGDIpMultiPageDialog* CGDIpMultiPageCtrl::page(int index) const
{
    if (index < 0 || index >= pageCount())
        return nullptr;
    return m_pages[static_cast<size_t>(index)];
}

CGDIpMultiPageGradientButton* CGDIpMultiPageCtrl::tabButton(int tabIndex) const
{
    if (tabIndex < 0 || tabIndex >= tabCount())
        return nullptr;
    return m_tabs[static_cast<size_t>(tabIndex)].button;
}

std::vector<CGDIpMultiPageGradientButton*> CGDIpMultiPageCtrl::tabButtons() const
{
    std::vector<CGDIpMultiPageGradientButton*> buttons;
    for (const Tab& t : m_tabs)
        buttons.push_back(t.button);
    return buttons;
}

int CGDIpMultiPageCtrl::visibleTabCount() const
{
    return static_cast<int>(
        std::count_if(m_tabs.begin(), m_tabs.end(), [](const Tab& t) { return !t.button->hiddenMark(); }));
}

void CGDIpMultiPageCtrl::showAllTabs()
{
    for (Tab& t : m_tabs)
        t.button->setHiddenMark(false);
    recalcLayout();
}

void CGDIpMultiPageCtrl::setProportions(double tabSideShare, double bottomShare)
{
    m_tabSideShare = std::clamp(tabSideShare, 0.3, 1.0);
    m_bottomShare = std::clamp(bottomShare, 0.0, 0.3);
    recalcLayout();
}

CGDIpMultiPageCtrl::Layout CGDIpMultiPageCtrl::computeLayout(QSize size) const
{
    const int w = size.width();
    const int h = size.height();
    const int gap = std::max(3, static_cast<int>(std::lround(std::min(w, h) * 0.006)));
    // The tab row and the bottom strip follow the screen, but never drop below what their text
    // needs, so small windows stay legible and large ones do not get thin slivers.
    const int textLine = QFontMetrics(titleFont(m_fonts.text)).height();
    const int tabHeight = std::max(static_cast<int>(h * 0.045), textLine + 14);
    const int bottomHeight = std::max(static_cast<int>(h * std::max(m_bottomShare, 0.04)), textLine + 12);
    const bool hasRight = m_right != nullptr;
    const int split = hasRight ? static_cast<int>(w * m_tabSideShare) : w;

    Layout l;
    const int left = gap;
    const int right = split - (hasRight ? gap / 2 : gap);
    const int bottomTop = m_bottom ? h - gap - bottomHeight : h;
    l.tabRow = QRect(QPoint(left, gap), QPoint(right - 1, gap + tabHeight - 1));
    l.tabPanel = QRect(QPoint(left, l.tabRow.bottom() + 1), QPoint(right - 1, bottomTop - gap - 1));
    if (m_bottom)
        l.bottom = QRect(QPoint(left, bottomTop), QPoint(right - 1, h - gap - 1));
    if (hasRight) {
        l.rightPanel = QRect(QPoint(split + gap / 2 + (gap % 2), gap), QPoint(w - gap - 1, h - gap - 1));
        l.rightTitle = QRect(l.rightPanel.topLeft(), QSize(l.rightPanel.width(), tabHeight));
    }
    return l;
}

void CGDIpMultiPageCtrl::recalcLayout()
{
    m_layout = computeLayout(size());
    const Layout& l = m_layout;
    const int inset = std::max(4, l.tabPanel.height() / 80);

    // Tabs of equal width, as wide as the longest title needs, never wider than the row allows.
    std::vector<Tab*> shown;
    for (Tab& t : m_tabs) {
        t.button->setVisible(!t.button->hiddenMark());
        if (!t.button->hiddenMark())
            shown.push_back(&t);
    }
    if (!shown.empty()) {
        const QFont f = titleFont(m_fonts.text);
        const QFontMetrics fm(f);
        int widest = 0;
        for (Tab* t : shown)
            widest = std::max(widest, fm.horizontalAdvance(t->button->text()));
        const int count = static_cast<int>(shown.size());
        const int spacing = std::max(2, l.tabRow.height() / 12);
        const int share = (l.tabRow.width() - spacing * (count - 1)) / count;
        const int width = std::min(share, std::max(widest + 40, l.tabRow.width() / 6));
        int x = l.tabRow.left();
        for (Tab* t : shown) {
            t->button->setFont(f);
            t->button->setGeometry(x, l.tabRow.top(), width, l.tabRow.height());
            x += width + spacing;
        }
    }
    for (CGDIpMultiPageDialog* page : m_pages)
        page->setRoleFonts(m_fonts);
    const QRect pageRect = l.tabPanel.adjusted(inset, inset, -inset, -inset);
    for (Tab& t : m_tabs)
        t.page->setGeometry(pageRect);
    if (m_right)
        m_right->setGeometry(QRect(QPoint(l.rightPanel.left() + inset, l.rightTitle.bottom() + 1 + inset),
                                   QPoint(l.rightPanel.right() - inset, l.rightPanel.bottom() - inset)));
    if (m_bottom)
        m_bottom->setGeometry(l.bottom.adjusted(inset, 0, -inset, 0));
    update();
}

void CGDIpMultiPageCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    recalcLayout();
}

void CGDIpMultiPageCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), theme::frameBackground());
    const Layout& l = m_layout;
    const double radius = 5.0;
    if (!m_tabs.empty())
        theme::paintGradient(painter, QRectF(l.tabPanel), theme::panelTop(), theme::panelBottom(), radius);
    if (m_right) {
        theme::paintGradient(painter, QRectF(l.rightPanel), theme::panelTop(), theme::panelBottom(), radius);
        // The column's heading, in the colours of an active tab.
        theme::paintGradient(painter, QRectF(l.rightTitle), theme::tabActiveTop(), theme::tabActiveBottom(),
                             radius);
        painter.fillRect(
            QRectF(l.rightTitle.left(), l.rightTitle.bottom() - radius, l.rightTitle.width(), radius),
            theme::tabActiveBottom());
        for (const CTextBox& title : textBoxes()) {
            painter.setFont(title.font);
            painter.setPen(theme::tabText());
            painter.drawText(title.box, Qt::AlignVCenter | Qt::AlignLeft, textfit::shown(title));
        }
    }
    if (m_bottom)
        theme::paintGradient(painter, QRectF(l.bottom), theme::tabTop().darker(130),
                             theme::tabBottom().darker(150), radius);
}
