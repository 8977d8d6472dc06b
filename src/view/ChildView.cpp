#include "view/ChildView.h"

#include <QMetaObject>

CChildView::CChildView(WindowLink& frame, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent),
      ChildViewLink([this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
          return handleMessage(message, wParam, lParam);
      }),
      SplitDocument(frame, m_viewLink, prompts) {
    m_viewLink = QtWindowLink(this, [this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        return handleMessage(message, wParam, lParam);
    });
    setFocusPolicy(Qt::StrongFocus);
}

CChildView::~CChildView() = default;

std::intptr_t CChildView::handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return SplitDocument::handleMessage(message, wParam, lParam);
}

void CChildView::invalidateView() {
    QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
}
