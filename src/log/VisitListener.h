// What a replay of access logs hears instead of learning: the log analyzer follows visitors by
// the rules of the log phase and, when it has a listener, tells it each page hit and leaves the
// graph's statistics alone. Called on the analyzer's thread.
#pragma once

class CSitePage;

class CVisitListener {
  public:
    virtual ~CVisitListener() = default;

    // A visitor's hit on page. from: the page the visitor moved from (a transition from -> page,
    // as the log phase would learn it), or nullptr when the hit makes no transition. Both are
    // borrowed pages of the analyzer's graph.
    virtual void OnPageHit(CSitePage* page, CSitePage* from) = 0;
};
