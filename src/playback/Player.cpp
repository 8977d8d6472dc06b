#include "playback/Player.h"

#include "document/SplitDocument.h"

// Placeholder until the player lands.
Player::Player(SplitDocument& document, std::unique_ptr<SoundOutput> output)
    : m_document(document), m_output(std::move(output)) {}
Player::~Player() = default;
void Player::play() {}
void Player::stop() {}
void Player::moveCursorTo(int) {}
void Player::playFromBreakPoint(int) {}
bool Player::isPlaying() const { return false; }
