#pragma once

#include <QString>

// Turns a filter of the form "MP3 files(*.mp3)|*.mp3|Any files(*.*)|*.*||" into Qt's form
// "MP3 files(*.mp3);;Any files(*.*)": each description followed by its patterns in parentheses
// (added when the description does not end with them already), patterns separated by blanks.
QString toQtFilter(const QString& filter);
