#include "ui/SiteRangeProp.h"

#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "agent/AgentChecks.h"
#include "agent/AgentSettings.h"
#include "ui/ResText.h"

namespace {

enum Part { kHour, kDay, kMonth, kYear };

// The years a stored time can hold.
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2106;

void FillLists(QComboBox* const* lists) {
    for (int h = 0; h < 24; ++h)
        lists[kHour]->addItem(QStringLiteral("%1:00").arg(h, 2, 10, QLatin1Char('0')));
    for (int d = 1; d <= 31; ++d)
        lists[kDay]->addItem(QString::number(d));
    lists[kMonth]->addItems(ResText(IDS_MONTHS).split(QLatin1Char('|')));
    for (int y = kFirstYear; y <= kLastYear; ++y)
        lists[kYear]->addItem(QString::number(y));
}

}  // namespace

CSiteRangeProp::CSiteRangeProp(QWidget* parent) : CSitePropPage(IDS_PAGE_RANGE, parent) {
    m_range = AddList(IDS_RANGE_LIST);
    for (int i = 0; i < EnumCount(kStatRangeTexts); ++i)
        m_range->addItem(QString::fromLatin1(kStatRangeTexts[i]));
    auto* grid = new QGridLayout;
    const std::pair<int, QComboBox**> ends[] = {{IDS_RANGE_START, m_start}, {IDS_RANGE_END, m_end}};
    int row = 0;
    for (const auto& [textId, lists] : ends) {
        grid->addWidget(new QLabel(ResText(textId), this), row, 0);
        for (int part = kHour; part <= kYear; ++part) {
            lists[part] = new QComboBox(this);
            grid->addWidget(lists[part], row, part + 1);
        }
        FillLists(lists);
        ++row;
    }
    Body()->addLayout(grid);
    m_accumulate = new QRadioButton(ResText(IDS_RANGE_ACCUMULATE), this);
    m_replace = new QRadioButton(ResText(IDS_RANGE_REPLACE), this);
    m_accumulateNote = new QLabel(ResText(IDS_RANGE_ACCUMULATE_NOTE), this);
    for (QWidget* w : std::initializer_list<QWidget*>{m_accumulate, m_replace, m_accumulateNote}) {
        Body()->addWidget(w);
        w->setEnabled(false);
        w->setVisible(false);
    }
    connect(m_range, &QComboBox::currentIndexChanged, this, [this] { ShowRange(); });
}

void CSiteRangeProp::ShowTime(QComboBox* const* lists, time_t t) {
    struct tm tm {};
    localtime_r(&t, &tm);
    const QString year = QString::number(tm.tm_year + 1900);
    if (lists[kYear]->findText(year) < 0) {
        // A stored year outside the list still shows (and stays) as it is.
        int at = 0;
        while (at < lists[kYear]->count() && lists[kYear]->itemText(at).toInt() < year.toInt())
            ++at;
        lists[kYear]->insertItem(at, year);
    }
    lists[kYear]->setCurrentText(year);
    lists[kMonth]->setCurrentIndex(tm.tm_mon);
    lists[kDay]->setCurrentIndex(tm.tm_mday - 1);
    lists[kHour]->setCurrentIndex(tm.tm_hour);
}

time_t CSiteRangeProp::ListTime(QComboBox* const* lists) {
    const int year = lists[kYear]->currentText().toInt();
    const int month = lists[kMonth]->currentIndex() + 1;
    const int day = std::min(lists[kDay]->currentIndex() + 1, QDate(year, month, 1).daysInMonth());
    return LocalTime(year, month, day, lists[kHour]->currentIndex(), 0, 0);
}

time_t CSiteRangeProp::StartTime() const {
    return ListTime(m_start);
}

time_t CSiteRangeProp::EndTime() const {
    return ListTime(m_end);
}

void CSiteRangeProp::ShowRange() {
    const bool specify = m_range->currentIndex() == kRangeSpecify;
    time_t start = m_storedStart;
    time_t end = m_storedEnd;
    if (!specify) {
        CAgentSettings range;
        range.StatRange = m_range->currentIndex();
        range.GetTimeRange(time(nullptr), &start, &end);
    }
    for (int part = kHour; part <= kYear; ++part) {
        m_start[part]->setEnabled(specify);
        m_end[part]->setEnabled(specify);
    }
    ShowTime(m_start, start);
    ShowTime(m_end, end);
}

void CSiteRangeProp::SettingsToPage(const CAgentSettings& agent) {
    m_storedStart = agent.StartTime;
    m_storedEnd = agent.EndTime;
    const int range = agent.StatRange >= 0 && agent.StatRange < m_range->count() ? agent.StatRange
                                                                                 : kRangeLastMonth;
    QSignalBlocker block(m_range);
    m_range->setCurrentIndex(range);
    ShowRange();
}

void CSiteRangeProp::PageToSettings(CAgentSettings& agent) const {
    agent.StatRange = m_range->currentIndex();
    if (agent.StatRange == kRangeSpecify) {
        agent.StartTime = StartTime();
        agent.EndTime = EndTime();
    }
}

bool CSiteRangeProp::CheckPage(CUserPrompt& prompt) {
    return CheckRangePage(m_range->currentIndex(), StartTime(), EndTime(), prompt);
}
