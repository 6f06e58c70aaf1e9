// Fuzz target for kvGCode: every line of the input, and the input as one line,
// is parsed, copied and checked; the estimator is fed the values.

#include "Estimator.h"
#include "kvGCode.h"

#include <QLoggingCategory>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool pCondition, const char *pWhat)
{
    if (!pCondition) {
        std::fprintf(stderr, "kvGCode check failed: %s\n", pWhat);
        std::abort();
    }
}

bool sameLine(const kvGCode &pA, const kvGCode &pB)
{
    return pA.Raw() == pB.Raw() && pA.Cleaned() == pB.Cleaned() && pA.Command() == pB.Command()
        && pA.CommandNumber() == pB.CommandNumber() && pA.Comment() == pB.Comment()
        && pA.hasX() == pB.hasX() && pA.hasY() == pB.hasY() && pA.hasZ() == pB.hasZ()
        && pA.hasE() == pB.hasE() && pA.hasF() == pB.hasF() && pA.hasS() == pB.hasS()
        && pA.hasP() == pB.hasP() && pA.hasT() == pB.hasT() && pA.hasR() == pB.hasR()
        && pA.hasG() == pB.hasG() && pA.hasM() == pB.hasM() && pA.isBlank() == pB.isBlank()
        && pA.Coordinates() == pB.Coordinates() && pA.EValue() == pB.EValue()
        && pA.FValue() == pB.FValue() && pA.SValue() == pB.SValue() && pA.PValue() == pB.PValue()
        && pA.TValue() == pB.TValue();
}

void checkWord(bool pHas, float pValue, const char *pWhat)
{
    check(std::isfinite(pValue), pWhat);
    check(pHas || pValue == 0, pWhat);
}

void exercise(const QString &pLine, Estimator &pEstimator)
{
    const kvGCode tLine(pLine);
    check(tLine.Raw() == pLine, "raw text kept");
    check(!tLine.Cleaned().contains(QLatin1Char(';')), "cleaned text without comment");
    check(tLine.isBlank() == pLine.isEmpty(), "blank flag");
    check(!tLine.hasG() || tLine.Command().size() == 1, "one-letter command");
    checkWord(tLine.hasX(), tLine.XValue(), "X");
    checkWord(tLine.hasY(), tLine.YValue(), "Y");
    checkWord(tLine.hasZ(), tLine.ZValue(), "Z");
    checkWord(tLine.hasE(), tLine.EValue(), "E");
    checkWord(tLine.hasF(), tLine.FValue(), "F");
    checkWord(tLine.hasS(), tLine.SValue(), "S");
    checkWord(tLine.hasP(), tLine.PValue(), "P");
    tLine.isComment();
    tLine.isValidGCodeSequence(pLine);

    kvGCode tCopy;
    tCopy.copy(tLine);
    check(sameLine(tCopy, tLine), "copy()");
    const kvGCode tCopied(tLine);
    check(sameLine(tCopied, tLine), "copy constructor");

    pEstimator.estimate(tLine);
    pEstimator.estimate(tLine.Command() + QString::number(tLine.CommandNumber()), tLine.XValue(),
        tLine.YValue(), tLine.ZValue(), tLine.EValue(), tLine.FValue());
    pEstimator.formatTime(tLine.XValue() * tLine.FValue());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("kv.printfile.debug=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t pSize)
{
    if (pSize > 1 << 16)
        return 0;
    const QString tText = QString::fromUtf8(reinterpret_cast<const char *>(pData), int(pSize));
    Estimator tEstimator;
    exercise(tText, tEstimator);
    for (const QString &tLine : tText.split(QLatin1Char('\n')))
        exercise(tLine, tEstimator);
    tEstimator.formatTime(tEstimator.gettotalTime(0));
    tEstimator.decrement();
    tEstimator.clear();
    return 0;
}
