#pragma once

// A held key must act once, on its release. X normally reports a held key as pairs of release and
// press; the toolkit recognises a pair only when the press has already arrived as it handles the
// release, which on a busy machine it often has not. Asking the X server for detectable auto-repeat
// makes it send the repeated presses alone and a single release. Returns false where there is no X
// server or it cannot oblige (other platforms report repeats reliably on their own).
bool requestDetectableAutoRepeat();
