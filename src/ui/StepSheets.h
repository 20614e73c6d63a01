// The short property sheets that come before each step of the Analyze and Embed Java dialog: the
// agent pages of that step only, loaded from the agent and stored into it as the agent property
// sheet does, with the step's caption and OK text. User-interface thread.
#pragma once

#include "ui/SiteSheet.h"

class CAgentSettings;

// Before the site map step: the domain and the location page of the agent's kind.
class CPProcessMapDialog : public CSiteSheet {
    Q_OBJECT

  public:
    // agent: borrowed for the call; the pages show its settings.
    explicit CPProcessMapDialog(const CAgentSettings& agent, QWidget* parent = nullptr);
};

// Before the log step: the log files, the time range and the weighting.
class CPProcessLogDialog : public CSiteSheet {
    Q_OBJECT

  public:
    explicit CPProcessLogDialog(const CAgentSettings& agent, QWidget* parent = nullptr);
};

// Before the embedding step: the limits and, for a static site, the backup.
class CPSynthesizeSiteDialog : public CSiteSheet {
    Q_OBJECT

  public:
    explicit CPSynthesizeSiteDialog(const CAgentSettings& agent, QWidget* parent = nullptr);
};
