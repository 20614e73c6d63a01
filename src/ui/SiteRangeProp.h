// The "Log Range" page: which part of the log is analysed, and for "Specify Range" the start and
// end by hour, day, month and year (local time). The other ranges show the span they select now.
// The statistics-accumulation controls exist hidden and disabled. User-interface thread.
#pragma once

#include <ctime>

#include "ui/SitePropPage.h"

class QRadioButton;

class CSiteRangeProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteRangeProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    // StatRange; StartTime and EndTime only for "Specify Range".
    void PageToSettings(CAgentSettings& agent) const override;
    // "Specify Range" must not end before it starts.
    bool CheckPage(CUserPrompt& prompt) override;
    bool ChecksOnOk() const override { return true; }

    QComboBox* RangeList() const { return m_range; }
    // The lists of one end: hour, day, month, year.
    QComboBox* StartList(int part) const { return m_start[part]; }
    QComboBox* EndList(int part) const { return m_end[part]; }
    // The time the lists of one end show (the day clamped to the month's length).
    time_t StartTime() const;
    time_t EndTime() const;

  private:
    void ShowRange();
    static void ShowTime(QComboBox* const* lists, time_t t);
    static time_t ListTime(QComboBox* const* lists);

    QComboBox* m_range;
    QComboBox* m_start[4];
    QComboBox* m_end[4];
    QRadioButton* m_accumulate;
    QRadioButton* m_replace;
    QLabel* m_accumulateNote;
    time_t m_storedStart = 0;
    time_t m_storedEnd = 0;
};
