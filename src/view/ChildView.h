#pragma once

#include "document/SplitDocument.h"
#include "view/QtWindowLink.h"

#include <QWidget>

// Holds the view's own message link so that it exists before the document base that refers to it.
struct ChildViewLink {
    explicit ChildViewLink(QtWindowLink::Handler handler) : m_viewLink(nullptr, std::move(handler)) {}
    QtWindowLink m_viewLink;
};

// The waveform view: the central widget of the main window and the owner of the document.
class CChildView : public QWidget, private ChildViewLink, public SplitDocument {
    Q_OBJECT
public:
    CChildView(WindowLink& frame, UserPrompts& prompts, QWidget* parent = nullptr);
    ~CChildView() override;

    // The link through which threads reach this view.
    WindowLink& viewLink() { return m_viewLink; }

    std::intptr_t handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void invalidateView() override;
};
