// Small pictures on the buttons, drawn by the program.
#ifndef ROTACONF_GLYPHS_H
#define ROTACONF_GLYPHS_H

#include <QIcon>

QIcon GermanFlagGlyph();  // black, red and gold stripes
QIcon EnglishFlagGlyph(); // the crosses of the union flag
QIcon FactoryGlyph();     // a factory hall with a chimney: back to the factory settings
QIcon InitGlyph();        // a plug: connect to the adapter
QIcon SaveGlyph();        // a diskette: save the log

#endif
