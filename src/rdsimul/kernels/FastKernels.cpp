#include "rdsimul/kernels/FastKernels.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <new>

#include "image3d/FieldStencils.h"
#include "rdsimul/kernels/ReferenceKernels.h"
#include "rdsimul/kernels/ThreadPool.h"

namespace {

constexpr int MaxComponents = 4;

std::atomic<int> SimdLevel{-1};  // -1: not chosen yet, the widest supported

const RowKernels &CurrentRows() {
    int level = SimdLevel.load(std::memory_order_relaxed);
    if (level < 0) level = SupportedSimdLevel();
    return RowKernelsOfLevel(level);
}

// The work is cut into pieces (a few per thread) that the threads claim, each from its own
// share first and then from the others' shares, so that a thread that the system holds back
// leaves its pieces to the others instead of making them wait.
constexpr int PiecesPerThread = 4;
constexpr int MaxPieces = PiecesPerThread * ThreadPool::MaxThreads;

// Claims pieces 0 .. pieces - 1, split into one share per thread, once per iteration of a job.
// A thread takes from its own share first, then from the others', so that the lines a thread
// works on stay the same from one iteration to the next (and in its cache) unless it falls
// behind. Each share counts tickets over the whole job, iteration i owning tickets i x (its
// size) onwards: a thread that fell behind can never take a piece of a later iteration for one
// of its own.
struct PieceClaims {
    void Reset(int pieceCount, int shareCount) {
        Pieces = pieceCount;
        Shares = shareCount;
        for (int g = 0; g < shareCount; ++g) Share[g].Next.store(0, std::memory_order_relaxed);
    }
    // The next unclaimed piece of the iteration; -1 when none is left. Every piece of the
    // iteration before must have been claimed.
    int Claim(int index, int64_t iteration) {
        for (int k = 0; k < Shares; ++k) {
            const int g = (index + k) % Shares;
            const int front = int(int64_t(Pieces) * g / Shares);
            const int size = int(int64_t(Pieces) * (g + 1) / Shares) - front;
            std::atomic<int64_t> &next = Share[g].Next;
            const int64_t first = iteration * size;
            int64_t ticket = next.load(std::memory_order_relaxed);
            while (ticket < first + size) {
                if (next.compare_exchange_weak(ticket, ticket + 1, std::memory_order_relaxed)) {
                    return front + int(ticket - first);
                }
            }
        }
        return -1;
    }

    int Pieces = 0;
    int Shares = 1;
    struct alignas(64) Counter {
        std::atomic<int64_t> Next{0};
    };
    Counter Share[ThreadPool::MaxThreads];
};

// Double rows: per piece its reacted first and last lines (read by the neighbouring pieces), per
// thread 3 rolling rows and a row of column sums. Each row has room for the elements -1 .. SizeX
// and RowLead doubles of slack on both sides: rows are read in whole vectors beyond either end.
struct PieceRows {
    double *First[MaxComponents];
    double *Last[MaxComponents];
};
struct WorkRows {
    double *Rolling[3][MaxComponents];
    double *ColumnSums;
};

constexpr ptrdiff_t RowLead = 16;  // doubles before element 0 (element -1 and slack)

// The row buffers, grown when a wider field or more pieces need them, never shrunk.
struct RowStore {
    double *Block = nullptr;
    PieceRows Pieces[2][MaxPieces];  // by the parity of the iteration
    WorkRows Work[ThreadPool::MaxThreads];
    int PieceCount = 0;
    int32_t SizeX = -1;

    ~RowStore() { ::operator delete[](Block, std::align_val_t(64)); }

    bool Prepare(int pieces, int32_t sizeX) {
        if (pieces <= PieceCount && sizeX <= SizeX) return true;
        if (pieces < PieceCount) pieces = PieceCount;
        if (sizeX < SizeX) sizeX = SizeX;
        const size_t stride = (size_t(sizeX) + 2 + 2 * RowLead + 7) / 8 * 8;
        const size_t rows = size_t(pieces) * 4 * MaxComponents +
                            size_t(ThreadPool::MaxThreads) * (3 * MaxComponents + 1);
        const size_t doubles = stride * rows;
        double *block = static_cast<double *>(
            ::operator new[](doubles * sizeof(double), std::align_val_t(64), std::nothrow));
        if (block == nullptr) return false;
        for (size_t i = 0; i < doubles; ++i) block[i] = 0.0;
        ::operator delete[](Block, std::align_val_t(64));
        Block = block;
        double *next = block + RowLead;
        auto take = [&]() {
            double *row = next;
            next += stride;
            return row;
        };
        for (PieceRows *set : Pieces) {
            for (int p = 0; p < pieces; ++p) {
                for (double *&row : set[p].First) row = take();
                for (double *&row : set[p].Last) row = take();
            }
        }
        for (WorkRows &work : Work) {
            for (auto &slot : work.Rolling) {
                for (double *&row : slot) row = take();
            }
            work.ColumnSums = take();
        }
        PieceCount = pieces;
        SizeX = sizeX;
        return true;
    }
};

// Pieces for count threads over size lines: up to PiecesPerThread per thread, but pieces of at
// least MinPieceLines lines where there are enough lines (each piece costs a little to start).
constexpr int32_t MinPieceLines = 24;
int PieceCountFor(int count, int32_t size) {
    if (count <= 1) return 1;
    int pieces = PiecesPerThread * count;
    if (pieces > size / MinPieceLines) pieces = int(size / MinPieceLines);
    if (pieces < count) pieces = count;
    return size < pieces ? int(size) : pieces;
}

// Threads worth their hand-off on a field of points points, where each thread needs at least
// perThread of them. Measured with vorna-speed --batches (the fastest calls on a shared 2-core
// AVX-512 machine, Brusselator, two threads against one): in batches of 15, 64 x 64 ran 1.3
// times as fast on two threads and 48 x 48 no faster (16 x 16: 0.8 times); single iterations,
// which hand over at every iteration, ran 4 % slower on two threads at 64 x 64 and 1.33 times as
// fast at 100 x 100. Hence 2048 points a thread in batches, 4096 for single iterations.
constexpr int64_t BatchPointsPerThread = 2048;
constexpr int64_t SinglePointsPerThread = 4096;
std::atomic<bool> SmallFieldRule{true};

int WorthwhileThreads(int threads, int64_t points, int64_t perThread) {
    if (!SmallFieldRule.load(std::memory_order_relaxed)) return threads;
    const int64_t worth = points / perThread;
    if (worth < 1) return 1;
    return worth < threads ? int(worth) : threads;
}

// One call at a time uses the row buffers (and the pool).
std::mutex &FastLock() {
    static std::mutex lock;
    return lock;
}

// The claims of the running job (kept, so that a job does not build them on its stack).
PieceClaims *Claims() {
    static PieceClaims claims[2];
    return claims;
}

RowStore &Store() {
    static RowStore store;
    return store;
}

RowConstants ToRowConstants(const ReactionConstants &k) {
    RowConstants r;
    for (int c = 0; c < MaxComponents; ++c) r.Strength[c] = k.Strength[c];
#define VORNA_COPY_PARAMETER(Field, name) r.Field = k.Field;
    VORNA_REACTION_PARAMETERS(VORNA_COPY_PARAMETER)
#undef VORNA_COPY_PARAMETER
    // Formed once per call, as the Maginu passes do (infinite when "c" is 0).
    r.G = k.Strength[0] / k.C;
    r.Formula = k.Formula;
    for (int i = 0; i < FormulaProgram::MaxParameters; ++i) r.Named[i] = k.Named[i];
    return r;
}

RowDiffusion ToRowDiffusion(double coefficient) {
    RowDiffusion how;
    if (coefficient == 0.0) {
        how.Mode = RowDiffusion::Keep;
    } else if (coefficient == 1.0) {
        how.Mode = RowDiffusion::NoCentre;
    } else {
        const double centre = 1.0 - coefficient;
        how.Mode = RowDiffusion::Weighted;
        how.Neighbour = coefficient * 0.125;
        how.CentreMinusNeighbour = centre - how.Neighbour;
    }
    return how;
}

// Rows y0 .. y1 - 1 of band index out of bands over size rows.
inline void BandRange(int index, int bands, int32_t size, int32_t &y0, int32_t &y1) {
    y0 = int32_t(int64_t(size) * index / bands);
    y1 = int32_t(int64_t(size) * (index + 1) / bands);
}

// ---- Reaction alone: independent rows, in place -----------------------------------------

struct ReactionJob {
    const RowKernels *Rows;
    RowModel Model;
    int Components;
    float *Fields[MaxComponents];
    FieldLayout Layout;
    RowConstants K;
    PieceClaims *Claims;
};

void ReactionPieces(void *context, int index, int /*count*/) {
    ReactionJob &job = *static_cast<ReactionJob *>(context);
    const int32_t lines = job.Layout.SizeY * job.Layout.SizeZ;
    for (int piece; (piece = job.Claims->Claim(index, 0)) >= 0;) {
        int32_t first, end;
        BandRange(piece, job.Claims->Pieces, lines, first, end);
        for (int32_t line = first; line < end; ++line) {
            const int32_t z = line / job.Layout.SizeY;
            const int32_t y = line % job.Layout.SizeY;
            const ptrdiff_t offset =
                ptrdiff_t(z) * job.Layout.PlaneOffset + ptrdiff_t(y) * job.Layout.LineOffset;
            float *rows[MaxComponents] = {};
            for (int c = 0; c < job.Components; ++c) rows[c] = job.Fields[c] + offset;
            job.Rows->ReactInPlace(job.Model, job.Components, rows, job.Layout.SizeX, y, job.K);
        }
    }
}

template <RowModel M>
void FastReaction(float *const *fields, const FieldLayout &layout, const ReactionConstants &k) {
    if (layout.SizeX <= 0 || layout.SizeY <= 0 || layout.SizeZ <= 0) return;
    ReactionJob job;
    job.Rows = &CurrentRows();
    job.Model = M;
    job.Components = RowModelComponents(M);
    if constexpr (ModelIsFormula(M)) {
        if (k.Formula == nullptr) return;
        job.Components = k.Formula->ComponentCount();
    }
    for (int c = 0; c < job.Components; ++c) job.Fields[c] = fields[c];
    job.Layout = layout;
    job.K = ToRowConstants(k);
    job.K.Height = layout.SizeY;
    std::lock_guard<std::mutex> hold(FastLock());
    job.K.FormulaCode = FormulaCodeFor(job.K.Formula, job.Rows->Lanes);
    ThreadPool &pool = ThreadPool::Shared();
    const int threads = pool.GetThreadCount();
    job.Claims = &Claims()[0];
    job.Claims->Reset(PieceCountFor(threads, layout.SizeY * layout.SizeZ), threads);
    pool.Run(ReactionPieces, &job);
}

// The fast reaction kernel of a model; none for plain diffusion, as in the reference set.
template <RowModel M>
constexpr ReactionKernel FastReactionOf() {
    if constexpr (ModelReacts(M)) {
        return FastReaction<M>;
    } else {
        return nullptr;
    }
}

// ---- Reaction and diffusion fused, on bands with their edge rows computed first ---------

// What every job of the fused kernels works on: the fields, their layout, the model's rows and
// constants.
struct FieldWork {
    const RowKernels *Rows;
    RowModel Model;
    int Components;
    float *Fields[MaxComponents];
    int32_t SizeX;
    int32_t SizeY;
    ptrdiff_t LineOffset;
    RowConstants K;
    RowDiffusion How[MaxComponents];
    // Where a NaN found in field 0 after the last iteration is noted; null: nobody asked.
    std::atomic<int> *NanFound;
};

// Notes a NaN among lines y0 .. y1 - 1 of field 0, once they hold the job's last iteration:
// tested by the thread that just wrote them, while they are still in its cache.
void TestForNaN(const FieldWork &work, int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
        if (LineHoldsNaN(work.Fields[0] + ptrdiff_t(y) * work.LineOffset, work.SizeX)) {
            work.NanFound->store(1, std::memory_order_relaxed);
            return;
        }
    }
}

struct IterationJob : FieldWork {
    RowStore *Store;
    int Threads;  // threads the work rows were prepared for
    int Pieces;
    int32_t Count;            // iterations
    PieceClaims *EdgeClaims;  // phase 1
    PieceClaims *BandClaims;  // phase 2
    // Pieces finished over the whole job, per phase.
    alignas(64) std::atomic<int64_t> EdgesDone{0};
    alignas(64) std::atomic<int64_t> BandsDone{0};
};

// Threads asleep in WaitFor: a count finished is announced to the sleepers only when there are
// some, so the usual short waits cost no system call.
alignas(64) std::atomic<int> WaitSleepers{0};

// Waits until done reaches target: a short spin, then asleep. A thread that the system holds
// back (another program took its core) keeps its partner waiting; asleep, the partner leaves
// its core to that program or to the held-back thread instead of spinning on it.
void WaitFor(const std::atomic<int64_t> &done, int64_t target) {
    for (int round = 0;; ++round) {
        const int64_t now = done.load(std::memory_order_acquire);
        if (now >= target) return;
        if (round < 2000) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
            continue;
        }
        WaitSleepers.fetch_add(1, std::memory_order_seq_cst);
        if (done.load(std::memory_order_seq_cst) == now) done.wait(now, std::memory_order_acquire);
        WaitSleepers.fetch_sub(1, std::memory_order_relaxed);
    }
}

// done advanced: any thread asleep on it is woken.
void Announce(std::atomic<int64_t> &done) {
    if (WaitSleepers.load(std::memory_order_seq_cst) > 0) done.notify_all();
}

// Phase 1 of a piece: its reacted first and last lines, from the old fields (the neighbouring
// pieces read them).
void ReactEdges(IterationJob &job, int piece, int parity) {
    int32_t y0, y1;
    BandRange(piece, job.Pieces, job.SizeY, y0, y1);
    PieceRows &rows = job.Store->Pieces[parity][piece];
    // Both, also when they are the same line (a piece of one line).
    for (int edge = 0; edge < 2; ++edge) {
        const int32_t y = edge == 0 ? y0 : y1 - 1;
        const float *lines[MaxComponents] = {};
        for (int c = 0; c < job.Components; ++c) {
            lines[c] = job.Fields[c] + ptrdiff_t(y) * job.LineOffset;
        }
        double *const *out = edge == 0 ? rows.First : rows.Last;
        job.Rows->ReactToDouble(job.Model, job.Components, lines, out, job.SizeX, y, job.K);
    }
}

// Phase 2 of a piece, once every piece's edges are there: walked top-down, line y + 1 reacted
// into a rolling double row before the filter overwrites line y in place.
void FilterBand(IterationJob &job, int index, int piece, int parity) {
    const int n = job.Components;
    const int32_t sx = job.SizeX;
    const int pieces = job.Pieces;
    RowStore &store = *job.Store;
    const WorkRows &work = store.Work[index];
    const PieceRows *edges = store.Pieces[parity];
    const PieceRows &own = edges[piece];
    const PieceRows &previous = edges[(piece + pieces - 1) % pieces];
    const PieceRows &next = edges[(piece + 1) % pieces];
    BandTask task;
    task.Model = job.Model;
    task.Components = n;
    task.LineOffset = job.LineOffset;
    task.SizeX = sx;
    BandRange(piece, pieces, job.SizeY, task.Y0, task.Y1);
    for (int c = 0; c < n; ++c) {
        task.Fields[c] = job.Fields[c];
        task.Above[c] = previous.Last[c];
        task.First[c] = own.First[c];
        task.Last[c] = own.Last[c];
        task.Below[c] = next.First[c];
        for (int slot = 0; slot < 3; ++slot) task.Rolling[slot][c] = work.Rolling[slot][c];
        task.How[c] = job.How[c];
    }
    task.ColumnSums = work.ColumnSums;
    task.K = &job.K;
    job.Rows->DiffuseBand(task);
    // Border lines -1 and SizeY end as the periodic copies of the reacted last and first lines,
    // corners included: what the border copy before the filter leaves there.
    auto line = [&](int c, int32_t y) { return job.Fields[c] + ptrdiff_t(y) * job.LineOffset; };
    if (piece == 0) {
        const PieceRows &last = edges[pieces - 1];
        for (int c = 0; c < n; ++c) {
            float *top = line(c, -1);
            for (int32_t x = -1; x <= sx; ++x) top[x] = float(last.Last[c][x]);
        }
    }
    if (piece == pieces - 1) {
        const PieceRows &first = edges[0];
        for (int c = 0; c < n; ++c) {
            float *bottom = line(c, job.SizeY);
            for (int32_t x = -1; x <= sx; ++x) bottom[x] = float(first.First[c][x]);
        }
    }
}

// Phase 1, once per job: the edges of every piece. Then per iteration, once every piece's edges
// are there, phase 2: the bands, each followed by its piece's edges for the next iteration
// (its first and last lines are final once its own band is done). The edge rows alternate
// between two sets by iteration, so that the neighbours still reading this iteration's edges
// are not disturbed; a set is overwritten only after every band of the iteration before has
// read it. The pieces are claimed, so any thread may do any of them.
void IterationPieces(void *context, int index, int /*count*/) {
    IterationJob &job = *static_cast<IterationJob *>(context);
    if (index >= job.Threads) return;
    const int pieces = job.Pieces;
    for (int piece; (piece = job.EdgeClaims->Claim(index, 0)) >= 0;) {
        ReactEdges(job, piece, 0);
        job.EdgesDone.fetch_add(1, std::memory_order_seq_cst);
        Announce(job.EdgesDone);
    }
    WaitFor(job.EdgesDone, pieces);
    for (int32_t iteration = 0; iteration < job.Count; ++iteration) {
        const int parity = iteration & 1;
        const bool more = iteration + 1 < job.Count;
        WaitFor(job.BandsDone, int64_t(iteration) * pieces);
        for (int piece; (piece = job.BandClaims->Claim(index, iteration)) >= 0;) {
            FilterBand(job, index, piece, parity);
            if (more) ReactEdges(job, piece, parity ^ 1);
            if (!more && job.NanFound != nullptr) {
                int32_t y0, y1;
                BandRange(piece, pieces, job.SizeY, y0, y1);
                TestForNaN(job, y0, y1);
            }
            job.BandsDone.fetch_add(1, std::memory_order_seq_cst);
            Announce(job.BandsDone);
        }
    }
}

// ---- Batches of iterations on bands that stay in a core's cache --------------------------
//
// count iterations with nothing between them, in two phases per batch of Levels iterations, so
// that a band is read from memory once per batch instead of once per iteration and threads
// wait for their neighbouring bands only. Phase A: each band on its own, Levels times over,
// the rows it can reach without its neighbours: at level k (iteration k of the batch) rows
// y0 + k + 1 .. y1 - k - 2, a region that shrinks by one line at each end per level. Phase B,
// once the two bands beside it are done: each boundary between bands, Levels times over, the
// rows phase A left: at level k the 2 k + 2 lines y0 - k - 1 .. y0 + k around the boundary at
// y0. The lines just outside a region, reacted at the region's level, are what phase A saved
// at each level (4 per band and component), so that every line is reacted and filtered exactly
// once per iteration, from the same floats as the iteration-by-iteration pass.

constexpr int MaxLevels = 16;                 // iterations of one batch at most
constexpr int MaxBands = MaxPieces;           // bands of one batch at most
constexpr int32_t BandBytesTarget = 1 << 20;  // a band's floats, all components

std::atomic<int32_t> ForcedBandLines{0};  // 0: bands sized by BandBytesTarget; -1: no batches

// The shape of a batch: Bands bands of at least 2 x Levels + 1 lines each.
struct BatchShape {
    int Bands = 0;
    int32_t Levels = 0;
};

BatchShape BatchShapeFor(int threads, int32_t sizeX, int32_t sizeY, int components, int32_t count) {
    BatchShape shape;
    int32_t levels = count < MaxLevels ? count : MaxLevels;
    int64_t lines = ForcedBandLines.load(std::memory_order_relaxed);
    if (lines <= 0) {
        // Bands that stay in a core's cache, but of at least 16 lines per level: the four edge
        // rows (of doubles) a band saves per level and component then take at most half the
        // memory of its floats.
        lines = BandBytesTarget / (int64_t(sizeX + 2) * components * int64_t(sizeof(float)));
        if (lines < 16 * int64_t(levels)) lines = 16 * int64_t(levels);
    }
    int64_t bands = sizeY / lines;
    bands = bands / threads * threads;  // an equal share per thread
    if (bands < threads) bands = threads;
    while (bands > MaxBands) bands -= threads;
    if (bands < 1) bands = 1;
    // Fewer bands where they would be too thin for batches of 2.
    auto reach = [&](int64_t n) { return int32_t((sizeY / n - 1) / 2); };
    while (bands > 1 && reach(bands) < 2 && reach(bands) < levels) {
        bands = bands > threads ? bands - threads : bands - 1;
    }
    if (reach(bands) < levels) levels = reach(bands);
    shape.Bands = int(bands);
    shape.Levels = levels;
    return shape;
}

// The row buffers of batches, grown when needed, never shrunk: per band and level the four
// reacted lines phase A saves (Above: y0 + k, First: y0 + k + 1, Last: y1 - k - 2, Below:
// y1 - k - 1), per thread three rolling rows, a row of column sums and the two wrap rows of
// the boundary at line 0 (its lines SizeY - 1 and 0 reacted).
struct BatchStore {
    enum Edge { Above, First, Last, Below };
    double *Block = nullptr;
    size_t Stride = 0;
    size_t Capacity = 0;  // doubles
    int Bands = 0;
    int32_t Levels = 0;
    int Components = 0;

    ~BatchStore() { ::operator delete[](Block, std::align_val_t(64)); }

    bool Prepare(int bands, int32_t levels, int components, int32_t sizeX) {
        const size_t stride = (size_t(sizeX) + 2 + 2 * RowLead + 7) / 8 * 8;
        const size_t rows = size_t(bands) * size_t(levels) * 4 * size_t(components) +
                            size_t(ThreadPool::MaxThreads) * (5 * MaxComponents + 1);
        const size_t doubles = stride * rows;
        if (doubles > Capacity) {
            double *block = static_cast<double *>(
                ::operator new[](doubles * sizeof(double), std::align_val_t(64), std::nothrow));
            if (block == nullptr) return false;
            // Slack read in whole vectors beyond the row ends must hold numbers.
            for (size_t i = 0; i < doubles; ++i) block[i] = 0.0;
            ::operator delete[](Block, std::align_val_t(64));
            Block = block;
            Capacity = doubles;
        }
        Stride = stride;
        Bands = bands;
        Levels = levels;
        Components = components;
        return true;
    }
    double *EdgeRow(int band, int32_t level, int edge, int c) const {
        const size_t row =
            ((size_t(band) * size_t(Levels) + size_t(level)) * 4 + size_t(edge)) * Components +
            size_t(c);
        return Block + RowLead + row * Stride;
    }
    // slot: 0 .. 2 rolling, 3 column sums (component 0 only), 4 and 5 the wrap rows.
    double *WorkRow(int thread, int slot, int c) const {
        const size_t first = size_t(Bands) * size_t(Levels) * 4 * size_t(Components);
        const size_t row =
            first + size_t(thread) * (5 * MaxComponents + 1) +
            (slot == 3  ? 3 * MaxComponents
             : slot < 3 ? size_t(slot) * MaxComponents + c
                        : 3 * MaxComponents + 1 + size_t(slot - 4) * MaxComponents + c);
        return Block + RowLead + row * Stride;
    }
};

BatchStore &Batches() {
    static BatchStore store;
    return store;
}

struct BatchJob : FieldWork {
    BatchStore *Store;
    int Threads;
    int Bands;
    int32_t Levels;
    PieceClaims *BandClaims;      // phase A
    PieceClaims *BoundaryClaims;  // phase B
    struct alignas(64) Flag {
        std::atomic<int64_t> Done{0};
    };
    Flag *BandDone;  // per band: the serial of the last batch whose phase A it finished
    int64_t Serial;
    bool Final;  // the job's last batch: its lines are tested for NaN when asked
};

BatchJob::Flag *BandFlags() {
    static BatchJob::Flag flags[MaxBands];
    return flags;
}

int64_t &BatchSerial() {
    static int64_t serial = 0;
    return serial;
}

inline void BandBounds(const BatchJob &job, int band, int32_t &y0, int32_t &y1) {
    BandRange(band, job.Bands, job.SizeY, y0, y1);
}

void ReactLine(const BatchJob &job, int32_t y, double *const *out) {
    const float *lines[MaxComponents] = {};
    for (int c = 0; c < job.Components; ++c) {
        lines[c] = job.Fields[c] + ptrdiff_t(y) * job.LineOffset;
    }
    job.Rows->ReactToDouble(job.Model, job.Components, lines, out, job.SizeX, y, job.K);
}

// Lines y0 .. y1 - 1 of one iteration, given the reacted lines around and at both ends.
void FilterLines(const BatchJob &job, int thread, int32_t y0, int32_t y1, double *const *above,
                 double *const *first, double *const *last, double *const *below) {
    BandTask task;
    task.Model = job.Model;
    task.Components = job.Components;
    task.LineOffset = job.LineOffset;
    task.SizeX = job.SizeX;
    task.Y0 = y0;
    task.Y1 = y1;
    for (int c = 0; c < job.Components; ++c) {
        task.Fields[c] = job.Fields[c];
        task.Above[c] = above[c];
        task.First[c] = first[c];
        task.Last[c] = last[c];
        task.Below[c] = below[c];
        for (int slot = 0; slot < 3; ++slot)
            task.Rolling[slot][c] = job.Store->WorkRow(thread, slot, c);
        task.How[c] = job.How[c];
    }
    task.ColumnSums = job.Store->WorkRow(thread, 3, 0);
    task.K = &job.K;
    job.Rows->DiffuseBand(task);
}

void EdgeRows(const BatchJob &job, int band, int32_t level, int edge, double **rows) {
    for (int c = 0; c < job.Components; ++c) rows[c] = job.Store->EdgeRow(band, level, edge, c);
}

void PhaseA(const BatchJob &job, int thread, int band) {
    int32_t y0, y1;
    BandBounds(job, band, y0, y1);
    double *edges[4][MaxComponents] = {};
    for (int32_t k = 0; k < job.Levels; ++k) {
        for (int edge = 0; edge < 4; ++edge) EdgeRows(job, band, k, edge, edges[edge]);
        ReactLine(job, y0 + k, edges[BatchStore::Above]);
        ReactLine(job, y0 + k + 1, edges[BatchStore::First]);
        ReactLine(job, y1 - k - 2, edges[BatchStore::Last]);
        ReactLine(job, y1 - k - 1, edges[BatchStore::Below]);
        FilterLines(job, thread, y0 + k + 1, y1 - k - 1, edges[BatchStore::Above],
                    edges[BatchStore::First], edges[BatchStore::Last], edges[BatchStore::Below]);
    }
    // The band's middle is done; the lines around its ends are phase B's.
    if (job.Final && job.NanFound != nullptr) TestForNaN(job, y0 + job.Levels, y1 - job.Levels);
}

// Boundary b lies between band b - 1 (the last band for b = 0) and band b.
void PhaseB(const BatchJob &job, int thread, int boundary) {
    const int before = (boundary + job.Bands - 1) % job.Bands;
    int32_t y0, y1;
    BandBounds(job, boundary, y0, y1);
    double *above[MaxComponents], *first[MaxComponents], *last[MaxComponents],
        *below[MaxComponents];
    for (int32_t k = 0; k < job.Levels; ++k) {
        EdgeRows(job, before, k, BatchStore::Last, above);
        EdgeRows(job, before, k, BatchStore::Below, first);
        EdgeRows(job, boundary, k, BatchStore::Above, last);
        EdgeRows(job, boundary, k, BatchStore::First, below);
        if (boundary != 0) {
            FilterLines(job, thread, y0 - k - 1, y0 + k + 1, above, first, last, below);
            if (k + 1 == job.Levels && job.Final && job.NanFound != nullptr) {
                TestForNaN(job, y0 - job.Levels, y0 + job.Levels);
            }
            continue;
        }
        // Around line 0 the lines wrap: the part at the bottom, then the part at the top, with
        // the lines SizeY - 1 and 0 reacted before either is overwritten.
        double *end[MaxComponents], *start[MaxComponents];
        for (int c = 0; c < job.Components; ++c) {
            end[c] = job.Store->WorkRow(thread, 4, c);
            start[c] = job.Store->WorkRow(thread, 5, c);
        }
        ReactLine(job, job.SizeY - 1, end);
        ReactLine(job, 0, start);
        FilterLines(job, thread, job.SizeY - k - 1, job.SizeY, above, first, end, start);
        FilterLines(job, thread, 0, k + 1, end, start, last, below);
        if (k + 1 == job.Levels) {
            // Border lines -1 and SizeY: the periodic copies of the reacted last and first
            // lines of the batch's last iteration, corners included.
            for (int c = 0; c < job.Components; ++c) {
                float *top = job.Fields[c] - job.LineOffset;
                float *bottom = job.Fields[c] + ptrdiff_t(job.SizeY) * job.LineOffset;
                for (int32_t x = -1; x <= job.SizeX; ++x) {
                    top[x] = float(end[c][x]);
                    bottom[x] = float(start[c][x]);
                }
            }
            if (job.Final && job.NanFound != nullptr) {
                TestForNaN(job, job.SizeY - job.Levels, job.SizeY);
                TestForNaN(job, 0, job.Levels);
            }
        }
    }
}

void BatchPieces(void *context, int index, int /*count*/) {
    BatchJob &job = *static_cast<BatchJob *>(context);
    if (index >= job.Threads) return;
    for (int band; (band = job.BandClaims->Claim(index, 0)) >= 0;) {
        PhaseA(job, index, band);
        job.BandDone[band].Done.store(job.Serial, std::memory_order_seq_cst);
        Announce(job.BandDone[band].Done);
    }
    for (int boundary; (boundary = job.BoundaryClaims->Claim(index, 0)) >= 0;) {
        WaitFor(job.BandDone[(boundary + job.Bands - 1) % job.Bands].Done, job.Serial);
        WaitFor(job.BandDone[boundary].Done, job.Serial);
        PhaseB(job, index, boundary);
    }
}

// Called under FastLock: the formula's code stays valid while it is held.
FieldWork FieldWorkFor(RowModel model, float *const *fields, int components,
                       const FieldLayout &layout, const RowConstants &k, const RowDiffusion *how,
                       std::atomic<int> *nanFound) {
    FieldWork work{};
    work.NanFound = nanFound;
    work.Rows = &CurrentRows();
    work.Model = model;
    work.Components = components;
    for (int c = 0; c < components; ++c) {
        work.Fields[c] = fields[c];
        work.How[c] = how[c];
    }
    work.SizeX = layout.SizeX;
    work.SizeY = layout.SizeY;
    work.LineOffset = layout.LineOffset;
    work.K = k;
    work.K.Height = layout.SizeY;
    work.K.FormulaCode = FormulaCodeFor(k.Formula, work.Rows->Lanes);
    return work;
}

// count iterations in batches; false, with nothing changed, where the bands would be too thin
// for batches of 2 or where the row buffers cannot be had. Called under FastLock.
bool RunBatches(RowModel model, float *const *fields, int components, const FieldLayout &layout,
                const RowConstants &k, const RowDiffusion *how, int32_t count,
                std::atomic<int> *nanFound) {
    ThreadPool &pool = ThreadPool::Shared();
    const int threads = WorthwhileThreads(
        pool.GetThreadCount(), int64_t(layout.SizeX) * layout.SizeY, BatchPointsPerThread);
    const BatchShape shape = BatchShapeFor(threads, layout.SizeX, layout.SizeY, components, count);
    if (shape.Levels < 2 || ForcedBandLines.load(std::memory_order_relaxed) < 0) return false;
    BatchJob job;
    static_cast<FieldWork &>(job) =
        FieldWorkFor(model, fields, components, layout, k, how, nanFound);
    job.Store = &Batches();
    job.Threads = threads;
    job.Bands = shape.Bands;
    job.BandClaims = &Claims()[0];
    job.BoundaryClaims = &Claims()[1];
    job.BandDone = BandFlags();
    if (!job.Store->Prepare(shape.Bands, shape.Levels, components, layout.SizeX)) return false;
    for (int32_t done = 0; done < count;) {
        job.Levels = count - done < shape.Levels ? count - done : shape.Levels;
        job.Serial = ++BatchSerial();
        job.Final = done + job.Levels == count;
        job.BandClaims->Reset(job.Bands, threads);
        job.BoundaryClaims->Reset(job.Bands, threads);
        if (threads == 1) {
            BatchPieces(&job, 0, 1);
        } else {
            pool.Run(BatchPieces, &job);
        }
        done += job.Levels;
    }
    return true;
}

bool RunIteration(RowModel model, float *const *fields, int components, const FieldLayout &layout,
                  const RowConstants &k, const RowDiffusion *how, int32_t count,
                  int *nanTest = nullptr) {
    if (components < 1 || components > MaxComponents || layout.SizeZ != 1 || layout.SizeX <= 0 ||
        layout.SizeY <= 0 || layout.LineOffset < layout.SizeX + 2 || count < 1) {
        return false;
    }
    if (ModelIsFormula(model)) {
        if (k.Formula == nullptr || k.Formula->ComponentCount() != components) return false;
    } else if (ModelReacts(model) && RowModelComponents(model) != components) {
        return false;
    }
    std::lock_guard<std::mutex> hold(FastLock());
    // Set by whichever thread finds a NaN; read once every thread is done.
    std::atomic<int> nanFound{0};
    std::atomic<int> *const asked = nanTest != nullptr ? &nanFound : nullptr;
    IterationJob job;
    static_cast<FieldWork &>(job) = FieldWorkFor(model, fields, components, layout, k, how, asked);
    job.Store = &Store();
    job.Count = count;
    auto answer = [&] {
        if (nanTest != nullptr) *nanTest = nanFound.load(std::memory_order_relaxed);
        return true;
    };
    if (count >= 2 && RunBatches(model, fields, components, layout, k, how, count, asked)) {
        return answer();
    }
    ThreadPool &pool = ThreadPool::Shared();
    job.Threads = WorthwhileThreads(pool.GetThreadCount(), int64_t(layout.SizeX) * layout.SizeY,
                                    SinglePointsPerThread);
    job.Pieces = PieceCountFor(job.Threads, layout.SizeY);
    if (!job.Store->Prepare(job.Pieces, layout.SizeX)) return false;
    job.EdgeClaims = &Claims()[0];
    job.BandClaims = &Claims()[1];
    job.EdgeClaims->Reset(job.Pieces, job.Threads);
    job.BandClaims->Reset(job.Pieces, job.Threads);
    if (job.Threads == 1) {
        IterationPieces(&job, 0, 1);  // no hand-off at all
    } else {
        pool.Run(IterationPieces, &job);
    }
    return answer();
}

void FastDiffusion(float *firstPixel, const FieldLayout &layout, double coefficient) {
    const RowDiffusion how = ToRowDiffusion(coefficient);
    float *fields[1] = {firstPixel};
    if (!RunIteration(RowModel::Void, fields, 1, layout, RowConstants(), &how, 1)) {
        ReferenceDiffusion(firstPixel, layout, coefficient);
    }
}

bool FusedIteration(int model, float *const *fields, int components, const FieldLayout &layout,
                    const ReactionConstants &constants, const double *coefficients, int32_t count,
                    int *nanTest) {
    if (model < 0 || model >= ReactionModelCount) return false;
    return FastIteration(RowModel(model), fields, components, layout, constants, coefficients,
                         count, nanTest);
}

}  // namespace

const KernelSet &FastKernels() {
#define VORNA_FAST_KERNEL(Id, ...) FastReactionOf<RowModel::Id>(),
    static const KernelSet set = {
        "fast", {VORNA_REACTION_MODELS(VORNA_FAST_KERNEL)}, FastDiffusion, FusedIteration};
#undef VORNA_FAST_KERNEL
    return set;
}

int SetFastSimdLevel(int level) {
    if (level < SimdPlain) level = SimdPlain;
    if (level > SupportedSimdLevel()) level = SupportedSimdLevel();
    SimdLevel.store(level, std::memory_order_relaxed);
    return level;
}

int GetFastSimdLevel() {
    const int level = SimdLevel.load(std::memory_order_relaxed);
    return level < 0 ? SupportedSimdLevel() : level;
}

int SetFastThreadCount(int threads) {
    std::lock_guard<std::mutex> hold(FastLock());
    return ThreadPool::Shared().SetThreadCount(threads);
}

int GetFastThreadCount() { return ThreadPool::Shared().GetThreadCount(); }

void SetFastSmallFieldRule(bool on) { SmallFieldRule.store(on, std::memory_order_relaxed); }

int SetFastBandLines(int lines) {
    if (lines < 0) lines = -1;
    ForcedBandLines.store(lines, std::memory_order_relaxed);
    return lines;
}

bool FastIteration(RowModel model, float *const *fields, int components, const FieldLayout &layout,
                   const ReactionConstants &constants, const double *coefficients, int32_t count,
                   int *nanTest) {
    RowDiffusion how[MaxComponents];
    if (components < 1 || components > MaxComponents) return false;
    for (int c = 0; c < components; ++c) how[c] = ToRowDiffusion(coefficients[c]);
    return RunIteration(model, fields, components, layout, ToRowConstants(constants), how, count,
                        nanTest);
}
