#include "rdsimul/kernels/FastKernels.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <new>

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

// Double rows of one band: 3 rolling rows, the band's first and last rows (read by the
// neighbouring bands) per component, and one row of column sums. Each row has room for the
// elements -1 .. SizeX and a vector of slack on both sides.
struct BandRows {
    double *Rolling[3][MaxComponents];
    double *First[MaxComponents];
    double *Last[MaxComponents];
    double *ColumnSums;
};

constexpr int RowsPerBand = 3 * MaxComponents + 2 * MaxComponents + 1;
constexpr ptrdiff_t RowLead = 16;  // doubles before element 0 (element -1 and slack)

// The row buffers of all bands, grown when a wider field or more bands need them, never shrunk.
struct RowStore {
    double *Block = nullptr;
    size_t BlockDoubles = 0;
    BandRows Bands[ThreadPool::MaxThreads];
    int BandCount = 0;
    int32_t SizeX = -1;

    ~RowStore() { ::operator delete[](Block, std::align_val_t(64)); }

    bool Prepare(int bands, int32_t sizeX) {
        if (bands <= BandCount && sizeX <= SizeX) return true;
        if (bands < BandCount) bands = BandCount;
        if (sizeX < SizeX) sizeX = SizeX;
        // Element -1 .. sizeX, rounded up to whole cache lines, with RowLead doubles of slack on
        // both sides: the rows are read in whole vectors of up to 8 doubles beyond either end.
        const size_t stride = (size_t(sizeX) + 2 + 2 * RowLead + 7) / 8 * 8;
        const size_t doubles = stride * RowsPerBand * size_t(bands);
        double *block = static_cast<double *>(
            ::operator new[](doubles * sizeof(double), std::align_val_t(64), std::nothrow));
        if (block == nullptr) return false;
        for (size_t i = 0; i < doubles; ++i) block[i] = 0.0;
        ::operator delete[](Block, std::align_val_t(64));
        Block = block;
        BlockDoubles = doubles;
        double *next = block + RowLead;
        auto take = [&]() {
            double *row = next;
            next += stride;
            return row;
        };
        for (int b = 0; b < bands; ++b) {
            BandRows &rows = Bands[b];
            for (auto &slot : rows.Rolling) {
                for (double *&row : slot) row = take();
            }
            for (double *&row : rows.First) row = take();
            for (double *&row : rows.Last) row = take();
            rows.ColumnSums = take();
        }
        BandCount = bands;
        SizeX = sizeX;
        return true;
    }
};

// One call at a time uses the row buffers (and the pool).
std::mutex &FastLock() {
    static std::mutex lock;
    return lock;
}

RowStore &Store() {
    static RowStore store;
    return store;
}

RowConstants ToRowConstants(const ReactionConstants &k) {
    RowConstants r;
    for (int c = 0; c < MaxComponents; ++c) r.Strength[c] = k.Strength[c];
    r.Alpha = k.Alpha;
    r.Beta = k.Beta;
    r.Gamma = k.Gamma;
    r.Delta = k.Delta;
    r.K = k.K;
    r.D = k.D;
    r.E = k.E;
    r.P = k.P;
    r.A1 = k.A1;
    r.A2 = k.A2;
    r.B1 = k.B1;
    r.B2 = k.B2;
    r.C1 = k.C1;
    r.C2 = k.C2;
    r.D1 = k.D1;
    r.D2 = k.D2;
    // Formed once per call, as the Maginu passes do (infinite when "c" is 0).
    r.G = k.Strength[0] / k.C;
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
};

void ReactionBand(void *context, int index, int count) {
    const ReactionJob &job = *static_cast<const ReactionJob *>(context);
    const int32_t lines = job.Layout.SizeY * job.Layout.SizeZ;
    int32_t first, end;
    BandRange(index, count, lines, first, end);
    for (int32_t line = first; line < end; ++line) {
        const int32_t z = line / job.Layout.SizeY;
        const int32_t y = line % job.Layout.SizeY;
        const ptrdiff_t offset =
            ptrdiff_t(z) * job.Layout.PlaneOffset + ptrdiff_t(y) * job.Layout.LineOffset;
        float *rows[MaxComponents] = {};
        for (int c = 0; c < job.Components; ++c) rows[c] = job.Fields[c] + offset;
        job.Rows->ReactInPlace(job.Model, job.Components, rows, job.Layout.SizeX, job.K);
    }
}

template <RowModel M>
void FastReaction(float *const *fields, const FieldLayout &layout, const ReactionConstants &k) {
    if (layout.SizeX <= 0 || layout.SizeY <= 0 || layout.SizeZ <= 0) return;
    ReactionJob job;
    job.Rows = &CurrentRows();
    job.Model = M;
    job.Components = RowModelComponents(M);
    for (int c = 0; c < job.Components; ++c) job.Fields[c] = fields[c];
    job.Layout = layout;
    job.K = ToRowConstants(k);
    std::lock_guard<std::mutex> hold(FastLock());
    ThreadPool::Shared().Run(ReactionBand, &job);
}

// ---- Reaction and diffusion fused, on bands with their edge rows computed first ---------

struct IterationJob {
    ThreadPool *Pool;
    const RowKernels *Rows;
    RowModel Model;
    int Components;
    float *Fields[MaxComponents];
    int32_t SizeX;
    int32_t SizeY;
    ptrdiff_t LineOffset;
    RowConstants K;
    RowDiffusion How[MaxComponents];
    RowStore *Store;
};

// Band index: phase 1 computes the reacted first and last rows of the band from the old field
// (the neighbouring bands read them); after the barrier, phase 2 walks the band top-down,
// reacting row y + 1 into a rolling double row before the filter overwrites line y in place.
void IterationBand(void *context, int index, int count) {
    const IterationJob &job = *static_cast<const IterationJob *>(context);
    int bands = count;
    if (bands > job.SizeY) bands = job.SizeY;
    if (bands > job.Store->BandCount) bands = job.Store->BandCount;
    const bool active = index < bands;
    const int n = job.Components;
    const int32_t sx = job.SizeX;
    int32_t y0 = 0, y1 = 0;
    auto line = [&](int c, int32_t y) { return job.Fields[c] + ptrdiff_t(y) * job.LineOffset; };
    auto react = [&](int32_t y, double *const *out) {
        const float *rows[MaxComponents] = {};
        for (int c = 0; c < n; ++c) rows[c] = line(c, y);
        job.Rows->ReactToDouble(job.Model, n, rows, out, sx, job.K);
    };

    if (active) {
        BandRange(index, bands, job.SizeY, y0, y1);
        BandRows &own = job.Store->Bands[index];
        react(y0, own.First);
        react(y1 - 1, own.Last);
    }
    job.Pool->Barrier();
    if (!active) return;

    BandRows &own = job.Store->Bands[index];
    const BandRows &previous = job.Store->Bands[(index + bands - 1) % bands];
    const BandRows &next = job.Store->Bands[(index + 1) % bands];
    BandTask task;
    task.Model = job.Model;
    task.Components = n;
    task.LineOffset = job.LineOffset;
    task.SizeX = sx;
    task.Y0 = y0;
    task.Y1 = y1;
    for (int c = 0; c < n; ++c) {
        task.Fields[c] = job.Fields[c];
        task.Above[c] = previous.Last[c];
        task.First[c] = own.First[c];
        task.Last[c] = own.Last[c];
        task.Below[c] = next.First[c];
        for (int slot = 0; slot < 3; ++slot) task.Rolling[slot][c] = own.Rolling[slot][c];
        task.How[c] = job.How[c];
    }
    task.ColumnSums = own.ColumnSums;
    task.K = &job.K;
    job.Rows->DiffuseBand(task);
    // Border lines -1 and SizeY end as the periodic copies of the reacted last and first lines,
    // corners included: what the border copy before the filter leaves there.
    if (index == 0) {
        const BandRows &last = job.Store->Bands[bands - 1];
        for (int c = 0; c < n; ++c) {
            float *top = line(c, -1);
            for (int32_t x = -1; x <= sx; ++x) top[x] = float(last.Last[c][x]);
        }
    }
    if (index == bands - 1) {
        const BandRows &first = job.Store->Bands[0];
        for (int c = 0; c < n; ++c) {
            float *bottom = line(c, job.SizeY);
            for (int32_t x = -1; x <= sx; ++x) bottom[x] = float(first.First[c][x]);
        }
    }
}

bool RunIteration(RowModel model, float *const *fields, int components,
                  const FieldLayout &layout, const RowConstants &k, const RowDiffusion *how) {
    if (components < 1 || components > MaxComponents || layout.SizeZ != 1 ||
        layout.SizeX <= 0 || layout.SizeY <= 0 || layout.LineOffset < layout.SizeX + 2) {
        return false;
    }
    if (model != RowModel::Identity && RowModelComponents(model) != components) return false;
    IterationJob job;
    job.Pool = &ThreadPool::Shared();
    job.Rows = &CurrentRows();
    job.Model = model;
    job.Components = components;
    for (int c = 0; c < components; ++c) {
        job.Fields[c] = fields[c];
        job.How[c] = how[c];
    }
    job.SizeX = layout.SizeX;
    job.SizeY = layout.SizeY;
    job.LineOffset = layout.LineOffset;
    job.K = k;
    job.Store = &Store();
    std::lock_guard<std::mutex> hold(FastLock());
    int bands = job.Pool->GetThreadCount();
    if (bands > layout.SizeY) bands = layout.SizeY;
    if (!job.Store->Prepare(bands, layout.SizeX)) return false;
    job.Pool->Run(IterationBand, &job);
    return true;
}

void FastDiffusion(float *firstPixel, const FieldLayout &layout, double coefficient) {
    const RowDiffusion how = ToRowDiffusion(coefficient);
    float *fields[1] = {firstPixel};
    if (!RunIteration(RowModel::Identity, fields, 1, layout, RowConstants(), &how)) {
        ReferenceDiffusion(firstPixel, layout, coefficient);
    }
}

bool FusedIteration(int model, float *const *fields, int components, const FieldLayout &layout,
                    const ReactionConstants &constants, const double *coefficients) {
    if (model < int(RowModel::Identity) || model > int(RowModel::BrusselatorDer1)) return false;
    return FastIteration(RowModel(model), fields, components, layout, constants, coefficients);
}

}  // namespace

const KernelSet &FastKernels() {
    static const KernelSet set = {"fast",
                                  FastReaction<RowModel::Schlogl>,
                                  FastReaction<RowModel::GinzburgLandau>,
                                  FastReaction<RowModel::GinzburgLandauDer1>,
                                  FastReaction<RowModel::GinzburgLandauDer2>,
                                  FastReaction<RowModel::Maginu>,
                                  FastReaction<RowModel::MaginuDer1>,
                                  FastReaction<RowModel::Brusselator>,
                                  FastReaction<RowModel::BrusselatorDer1>,
                                  FastDiffusion,
                                  FusedIteration};
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

int SetFastThreadCount(int threads) { return ThreadPool::Shared().SetThreadCount(threads); }

int GetFastThreadCount() { return ThreadPool::Shared().GetThreadCount(); }

bool FastIteration(RowModel model, float *const *fields, int components,
                   const FieldLayout &layout, const ReactionConstants &constants,
                   const double *coefficients) {
    RowDiffusion how[MaxComponents];
    if (components < 1 || components > MaxComponents) return false;
    for (int c = 0; c < components; ++c) how[c] = ToRowDiffusion(coefficients[c]);
    return RunIteration(model, fields, components, layout, ToRowConstants(constants), how);
}
