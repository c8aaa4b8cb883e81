#include "editor/status_panels.h"

#include "ui/twips.h"

#include <QLabel>
#include <QStatusBar>
#include <iterator>

namespace {

// Design texts and widths (twips) of the panels.
struct PanelDesign
{
    const char *text;
    int width;
};
const PanelDesign kPanels[] = {{"功能：", 670},      {"阅读", 1440}, {"状态：", 670}, {"", 2000},
                               {"当前时间：", 1050}, {"", 3000},     {"字数：", 670}, {"", 10000}};

class StatusPanel : public QLabel
{
public:
    StatusPanel(const QString &text, int widthTwips, QWidget *parent) : QLabel(text, parent), m_width(tw(widthTwips))
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        setFrameShape(QFrame::NoFrame);
    }
    QSize sizeHint() const override { return {m_width, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

private:
    int m_width;
};

} // namespace

void StatusPanels::build(QStatusBar *bar)
{
    m_bar = bar;
    const int designed = int(std::size(kPanels));
    for (int i = 0; i < designed; ++i)
        append(QString::fromUtf8(kPanels[i].text), kPanels[i].width, i == designed - 1 ? 1 : 0);
}

int StatusPanels::add(const QString &text, int widthTwips)
{
    return append(text, widthTwips, 0);
}

int StatusPanels::append(const QString &text, int widthTwips, int stretch)
{
    auto *label = new StatusPanel(text, widthTwips, m_bar);
    label->setObjectName(QStringLiteral("Panel%1").arg(m_panels.size() + 1));
    m_bar->addWidget(label, stretch);
    m_panels << label;
    return int(m_panels.size());
}

QString StatusPanels::text(int panel) const
{
    return panel >= 1 && panel <= m_panels.size() ? m_panels[panel - 1]->text() : QString();
}

void StatusPanels::setText(int panel, const QString &text)
{
    if (panel >= 1 && panel <= m_panels.size() && m_panels[panel - 1]->text() != text)
        m_panels[panel - 1]->setText(text);
}
