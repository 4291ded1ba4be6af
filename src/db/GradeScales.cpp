#include "db/GradeScales.h"

namespace velmor::db {

const QList<GradeScaleEntry> &colourScale()
{
    static const QList<GradeScaleEntry> scale = {
        {10, "D"},   {15, "D/E"}, {20, "E"},   {25, "E/F"},   {30, "F"},   {35, "F/G"},   {40, "G"},
        {45, "G/H"}, {50, "H"},   {55, "H/I"}, {60, "I"},     {65, "I/J"}, {70, "J"},     {75, "J/K"},
        {80, "K"},   {85, "K/L"}, {90, "L"},   {95, "L/M"},   {100, "M"},  {105, "M/N"},  {110, "N"},
        {115, "N/O"}, {120, "O"}, {125, "O/P"}, {130, "P"},   {135, "P/Q"}, {140, "Q"},   {145, "Q/R"},
        {150, "R"},  {155, "R/S"}, {160, "S"},
    };
    return scale;
}

const QList<GradeScaleEntry> &clarityScale()
{
    static const QList<GradeScaleEntry> scale = {
        {4, "IF"},        {7, "IF/FL"},    {10, "FL"},     {15, "FL/VVS1"}, {20, "VVS1"},
        {25, "VVS1/VVS2"}, {30, "VVS2"},   {35, "VVS2/VS1"}, {40, "VS1"},   {45, "VS1/VS2"},
        {50, "VS2"},      {55, "VS2/SI1"}, {60, "SI1"},    {65, "SI1/SI2"}, {70, "SI2"},
        {75, "SI2/SI3"},  {80, "SI3"},     {85, "SI3/I1"}, {89, "I1+"},     {90, "I1"},
        {91, "I1-"},      {95, "I1/I2"},   {99, "I2+"},    {100, "I2"},     {101, "I2-"},
        {105, "I2/I3"},   {110, "I3"},     {115, "I3/I4"}, {120, "I4"},
    };
    return scale;
}

} // namespace velmor::db
