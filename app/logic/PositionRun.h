// Position samples in batches of sensor cycles, shared by the position window and rotaconf-cli: each
// slave's data words cycle by cycle, failed cycles counted by kind, and the rows of a CSV record.
#ifndef ROTACONF_POSITIONRUN_H
#define ROTACONF_POSITIONRUN_H

#include "BissCom.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// Why a cycle delivered no position.
enum TCycleFailure : int {
    FailNone = 0,
    FailNoAnswer = 1, // no slave answered the cycle
    FailCrc = 2,      // an answer came, but a data word was not valid (CRC or error bit)
    FailTimeout = 3,  // the cycle did not end within the library's time limit
    FailAdapter = 4,  // the adapter or the master chip could not be reached
    FailKinds = 5
};

// "no answer", "CRC", "time-out", "adapter"; empty for FailNone.
QString FailureName(TCycleFailure Kind);

// What one batch brought: Done good cycles, then at most one failed cycle.
struct TPositionBatch {
    uint64_t FirstCycle = 1; // number of the batch's first cycle, counted from 1 since the start
    uint32_t Slaves = 0;
    uint32_t Done = 0;                // good cycles, in Scd/Mcd/McdValid/TimeUs
    std::vector<uint32_t> Scd, Mcd;   // Done x Slaves words, cycle after cycle
    std::vector<uint8_t> McdValid;    // per cycle
    std::vector<int64_t> TimeUs;      // per cycle: when it ended, in microseconds since the start
    TCycleFailure Failure = FailNone; // of the cycle after the Done good ones
    int32_t Code = 0;                 // the library's code of that failure
    int64_t FailureTimeUs = 0;

    uint32_t Word1(uint32_t Cycle, uint32_t Slave) const { return Scd[size_t{Cycle} * Slaves + Slave]; }
    bool HasWord2(uint32_t Cycle, uint32_t Slave) const;
    uint32_t Word2(uint32_t Cycle, uint32_t Slave) const { return Mcd[size_t{Cycle} * Slaves + Slave]; }
    uint64_t CyclesRun() const { return Done + (Failure != FailNone ? 1 : 0); }
};

class TPositionRun {
public:
    explicit TPositionRun(TBissCom &Com) : m_com(Com) {}

    // Reads the slave count and the CRC polynomials and starts the clock. False with the library's
    // code in Com.LastResult when the master items cannot be read.
    bool Start();
    uint32_t Slaves() const { return m_slaves; }
    // Whether the master checks a CRC on that slave's word (1 or 2).
    bool CrcChecked(uint32_t Slave, int Word) const;

    // Runs up to Cycles (1..65536) cycles and counts them. Stops at the first failing cycle.
    const TPositionBatch &Run(uint32_t Cycles);
    const TPositionBatch &Last() const { return m_batch; }
    // How many cycles the next batch may have to take about Milliseconds, from the last batches' pace.
    uint32_t BatchFor(double Milliseconds) const;

    uint64_t Cycles() const { return m_cycles; }
    uint64_t Failed() const;
    uint64_t Failures(TCycleFailure Kind) const { return m_failures[Kind]; }
    int64_t ElapsedUs() const { return m_clock.isValid() ? m_clock.nsecsElapsed() / 1000 : 0; }
    // Counts back to zero; the cycle numbers and the clock go on.
    void ClearCounts();

    // "cycle,time_us,slave,word1,word2,valid,error" and its line end.
    static QByteArray CsvHeader();
    // One row per cycle and slave of the batch, good cycles and the failed one.
    static void AppendCsvRows(const TPositionBatch &Batch, QByteArray &Rows);

private:
    TCycleFailure Classify(int32_t Code);

    TBissCom &m_com;
    uint32_t m_slaves = 0;
    std::array<std::array<bool, 2>, 8> m_crc{};
    TPositionBatch m_batch;
    uint64_t m_nextCycle = 1;
    uint64_t m_cycles = 0;
    std::array<uint64_t, FailKinds> m_failures{};
    double m_usPerCycle = 0; // pace of the last good batch
    QElapsedTimer m_clock;
};

#endif
