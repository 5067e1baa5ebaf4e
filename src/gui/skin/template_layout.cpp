#include "gui/skin/template_layout.h"

#include "gui/skin/theme.h"

#include <algorithm>
#include <cmath>

namespace {
// Pixels of one dialog unit at the template's native size (an 8-point font at 96 dpi).
constexpr double kNativeScale = 1.5;
} // namespace

CTemplateLayout::CTemplateLayout(QSize templateSize) : m_templateSize(templateSize) {}

void CTemplateLayout::place(QWidget* control, int x, int y, int width, int height)
{
    remove(control);
    m_placed.push_back({control, QRect(x, y, width, height)});
}

void CTemplateLayout::remove(const QWidget* control)
{
    std::erase_if(m_placed, [control](const Placed& p) { return p.control == control; });
}

double CTemplateLayout::scale(QSize ownerSize) const
{
    if (m_templateSize.width() <= 0 || m_templateSize.height() <= 0 || ownerSize.isEmpty())
        return kNativeScale;
    const double sx = ownerSize.width() / static_cast<double>(m_templateSize.width());
    const double sy = ownerSize.height() / static_cast<double>(m_templateSize.height());
    // One factor for both axes keeps the controls' proportions; a tiny owner still gets
    // readable controls rather than squashed ones.
    return std::max(0.6, std::min(sx, sy));
}

double CTemplateLayout::scaleX(QSize ownerSize) const
{
    if (!m_stretch || m_templateSize.width() <= 0 || ownerSize.isEmpty())
        return scale(ownerSize);
    return ownerSize.width() / static_cast<double>(m_templateSize.width());
}

double CTemplateLayout::scaleY(QSize ownerSize) const
{
    const double s = scale(ownerSize);
    if (m_tallCap <= 1.0 || m_templateSize.height() <= 0 || ownerSize.isEmpty())
        return s;
    return std::clamp(ownerSize.height() / static_cast<double>(m_templateSize.height()), s, s * m_tallCap);
}

QRect CTemplateLayout::map(const QRect& r, QSize ownerSize) const
{
    const double s = scaleY(ownerSize);
    const double sx = scaleX(ownerSize);
    // Centre the template horizontally when the owner is wider than the template needs.
    const double used = m_templateSize.width() * sx;
    const double offset = std::max(0.0, (ownerSize.width() - used) / 2.0);
    const int left = static_cast<int>(std::lround(offset + r.x() * sx));
    const int top = static_cast<int>(std::lround(r.y() * s));
    const int right = static_cast<int>(std::lround(offset + (r.x() + r.width()) * sx));
    const int bottom = static_cast<int>(std::lround((r.y() + r.height()) * s));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

int CTemplateLayout::fontPixels(QSize ownerSize) const
{
    return std::clamp(static_cast<int>(std::lround(8.0 * scale(ownerSize))), 11, 28);
}

void CTemplateLayout::setFonts(const CRoleFonts& fonts)
{
    m_fonts = fonts;
    m_hasFonts = true;
}

CRoleFonts CTemplateLayout::fonts(QSize ownerSize) const
{
    if (m_hasFonts)
        return m_fonts;
    // The same proportions as the window's three fonts (heights 1/45, 1/75 and 1/40).
    const int text = fontPixels(ownerSize);
    CRoleFonts f{theme::baseFont(text), theme::baseFont(std::max(textfit::kFloorPixels, text * 45 / 75)),
                 theme::baseFont(text * 45 / 40)};
    f.value.setBold(true);
    return f;
}

void CTemplateLayout::apply(QSize ownerSize)
{
    // Set on each control: fonts do not reliably propagate to children under a style sheet.
    const CRoleFonts roles = fonts(ownerSize);
    const int pixels = roles.text.pixelSize();
    for (const Placed& p : m_placed) {
        p.control->setGeometry(map(p.rect, ownerSize));
        if (auto* multi = dynamic_cast<IRoleFonts*>(p.control))
            multi->setRoleFonts(roles);
        QFont f = p.control->font();
        if (f.pixelSize() != pixels) {
            f.setPixelSize(pixels);
            p.control->setFont(f);
        }
    }
}
