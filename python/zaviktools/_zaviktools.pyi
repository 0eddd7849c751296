"""The compiled extension module (`zaviktools._zaviktools`); re-exported by the
`zaviktools` Python package's `__init__`."""

# Declarations of the compiled module for type checkers and editors.
#
# Argument types follow what the module converts, not only what it returns:
# a real is anything with `__float__` or `__index__` (float, int, numpy
# scalars), a count or seed anything with `__index__` (unsigned 64-bit at run
# time), and a list argument any sequence (list, tuple, range, a numpy array;
# a `str` is rejected at run time). Grids cross as nested lists indexed
# `field[col][row]`, or in the `_flat` functions as one little-endian f64
# `bytes` buffer with its `(ncol, nrow)` shape. Name arguments (models,
# methods, profiles) list the accepted spellings for completion; any `str`
# type-checks, and the module checks the name itself when called.

from typing import Literal, Protocol, SupportsFloat, SupportsIndex, TypeAlias, TypeVar, final

_T_co = TypeVar("_T_co", covariant=True)

class _Sequence(Protocol[_T_co]):
    # What the module accepts for a list: indexable with a length. Wider than
    # `typing.Sequence` so that numpy arrays type-check as they run.
    def __len__(self) -> int: ...
    def __getitem__(self, index: int, /) -> _T_co: ...

_Real: TypeAlias = SupportsFloat | SupportsIndex
_Count: TypeAlias = SupportsIndex
_Reals: TypeAlias = _Sequence[_Real]
_Point: TypeAlias = _Sequence[_Real]  # [x, y]
_Row: TypeAlias = _Sequence[_Real]  # [x, y, z], the value in z
_Points: TypeAlias = _Sequence[_Point]
_Rows: TypeAlias = _Sequence[_Row]
_GridIn: TypeAlias = _Sequence[_Sequence[_Real]]  # field[col][row]
_Field: TypeAlias = list[list[float]]  # field[col][row]
_Shape: TypeAlias = tuple[int, int]  # (ncol, nrow)
_FlatField: TypeAlias = tuple[bytes, _Shape]
_Ring: TypeAlias = list[list[float]]  # [x, y] points, last joins the first
_PropertyVector = TypeVar("_PropertyVector", bound=_Reals)
_ParamValue = TypeVar("_ParamValue", bound=_Real)

_Model: TypeAlias = Literal["nugget", "spherical", "sph", "exponential", "exp", "gaussian", "gauss"] | str
_ModelName: TypeAlias = Literal["nugget", "spherical", "exponential", "gaussian"]
_Correlation: TypeAlias = Literal["independent", "indep", "comonotonic", "comono"] | str
_InterpMethod: TypeAlias = (
    Literal[
        "linear", "nearest", "closest", "nn", "previous", "prev", "ffill", "next", "bfill",
        "cubic", "spline", "natural", "natural_cubic", "cubic_natural",
    ]
    | str
)
_ResampleMethod: TypeAlias = Literal["bilinear", "linear", "nearest", "nn"] | str
_Profile: TypeAlias = Literal["vertical", "build_hold", "build-hold", "build_hold_drop", "build-hold-drop"] | str

__version__: str

# --- sampling ---------------------------------------------------------------

@final
class Rng:
    """A deterministic random stream (ChaCha12) built from the unsigned 64-bit `seed`:
    the same seed replays the same draws. Thread one instance through successive
    `sample` / `sample_n` calls; each call advances it.
    """
    def __new__(cls, seed: _Count) -> Rng: ...

@final
class Sampler:
    """A validated distribution to draw from. Build one with a variant constructor
    (`Sampler.uniform(...)`, `Sampler.normal(...)`, …) — each validates its
    parameters up front — then draw with `sample(rng)` / `sample_n(n, rng)` (an
    explicit [`Rng`] for reproducibility) or the `*_seeded` convenience.

    Units/conventions: parameters are in the quantity's own units. For
    `lognormal`, `mean`/`std_dev` are the parameters of the *underlying normal*
    (log-space). `truncated_normal` *reshapes* the density onto `[lo, hi]`
    (renormalised, no mass at the bounds); `.clamped(lo, hi)` instead *snaps*
    out-of-range draws to the nearest bound (mass piles at `lo`/`hi`).
    """
    @staticmethod
    def uniform(lo: _Real, hi: _Real) -> Sampler:
        """Uniform on `[lo, hi)`. Requires finite `lo < hi`."""
    @staticmethod
    def normal(mean: _Real, std_dev: _Real) -> Sampler:
        """Normal with the given `mean` and `std_dev` (`std_dev > 0`)."""
    @staticmethod
    def lognormal(mean: _Real, std_dev: _Real) -> Sampler:
        """Log-normal: `ln(x) ~ Normal(mean, std_dev)` — `mean`/`std_dev` parametrise
        the *underlying* normal (log-space). Draws are strictly positive.
        """
    @staticmethod
    def triangular(min: _Real, mode: _Real, max: _Real) -> Sampler:
        """Triangular on `[min, max]` peaking at `mode` (`min <= mode <= max`)."""
    @staticmethod
    def truncated_normal(mean: _Real, std_dev: _Real, lo: _Real, hi: _Real) -> Sampler:
        """A `Normal(mean, std_dev)` **truncated** to `[lo, hi]`: the density is
        renormalised over the interval (exact clipped-CDF draw, always in bounds).
        Use this for a genuinely bounded quantity (a saturation in `[0, 1]`, a
        positive thickness). For a hard limiter instead, see `.clamped`.
        """
    def sample(self, rng: Rng) -> float:
        """Draw one sample, advancing `rng`."""
    def sample_n(self, n: _Count, rng: Rng) -> list[float]:
        """Draw `n` samples, advancing `rng`."""
    def sample_n_seeded(self, n: _Count, seed: _Count) -> list[float]:
        """Convenience: draw `n` samples from a fresh `Rng(seed)`; equal to
        `sample_n(n, Rng(seed))`, and no other `Rng` is touched.
        """
    def clamped(self, lo: _Real, hi: _Real) -> Clamped:
        """Wrap this sampler so every draw is clamped into `[lo, hi]` (out-of-range
        draws snap to the nearest bound → mass *piles* at `lo`/`hi`). The general
        hard-limiter combinator; works on any variant. Requires finite `lo < hi`.
        """

@final
class Clamped:
    """A sampler whose every draw is clamped into `[lo, hi]` (see
    [`PySampler::clamped`]). Same draw API as [`PySampler`].
    """
    def sample(self, rng: Rng) -> float:
        """Draw one clamped sample, advancing `rng`."""
    def sample_n(self, n: _Count, rng: Rng) -> list[float]:
        """Draw `n` clamped samples, advancing `rng`."""
    def sample_n_seeded(self, n: _Count, seed: _Count) -> list[float]:
        """Convenience: draw `n` clamped samples from a fresh `Rng(seed)`."""

# --- statistics -------------------------------------------------------------

def mean(data: _Reals) -> float:
    """Arithmetic mean of `data`. Errors on empty input."""

def variance(data: _Reals) -> float:
    """Unbiased sample variance (`n − 1` denominator). A single value yields `0.0`."""

def std(data: _Reals) -> float:
    """Unbiased sample standard deviation (`√variance`)."""

def percentile(data: _Reals, p: _Real) -> float:
    """The `p`-th percentile (`p` in `[0, 100]`), type-7 (Excel `PERCENTILE`
    parity): `percentile([1, 2, 3, 4, 5], 25) == 2.0`.
    """

def median(data: _Reals) -> float:
    """The median (50th percentile) of `data`."""

def weighted_mean(values: _Reals, weights: _Reals) -> float:
    """Weighted arithmetic mean of `values` under `weights` (equal length,
    non-negative weights summing > 0).
    """

def weighted_variance(values: _Reals, weights: _Reals) -> float:
    """Weighted (reliability-weighted, unbiased) sample variance."""

def weighted_std(values: _Reals, weights: _Reals) -> float:
    """Weighted sample standard deviation (`√weighted_variance`)."""

def weighted_percentile(values: _Reals, weights: _Reals, p: _Real) -> float:
    """Weighted `p`-th percentile (`p` in `[0, 100]`), interpolated linearly between
    weight-midpoint plotting positions: on equal weights the midpoint (Hazen,
    type-5) percentile, not the type-7 one of `percentile`.
    """

@final
class ReservoirSummary:
    """The P90 (low) / P50 (mid) / P10 (high) / mean digest of a realization set.

    Fields follow the **oil-industry exceedance convention** (P90 = low): `p90`
    is the value exceeded 90 % of the time (statistical 10th percentile), `p10`
    the high (statistical 90th), so `p90 <= p50 <= p10`. Percentiles are type-7
    (Excel `PERCENTILE` parity). Read-only getters plus a `to_dict()`.
    """
    @property
    def p90(self) -> float:
        """Low case: the value exceeded 90 % of the time (statistical 10th percentile)."""
    @property
    def p50(self) -> float:
        """Mid case: the median."""
    @property
    def p10(self) -> float:
        """High case: the value exceeded 10 % of the time (statistical 90th percentile)."""
    @property
    def mean(self) -> float:
        """Arithmetic mean of the realizations."""
    def to_dict(self) -> dict[str, float]:
        """The four fields as a plain `dict` (`{"p90", "p50", "p10", "mean"}`)."""

def reservoir_summary(data: _Reals) -> ReservoirSummary:
    """Summarise `data` (one realization per element) into a [`ReservoirSummary`]
    under the oil-industry P90 = low convention. Errors on empty input.
    """

def aggregate(segments: _Sequence[_Reals], correlation: _Correlation = "independent") -> list[float]:
    """Sum per-segment realization vectors index-wise into a field total under a
    dependence assumption. `correlation` is `"independent"` (sum as-is) or
    `"comonotonic"` (sort each segment ascending, then sum rank-for-rank — the
    fully-dependent low-together/high-together bound). The result length is the
    shortest segment's; an empty input (or any empty segment) gives `[]`.
    """

# --- formulas ---------------------------------------------------------------

def formula_info(assignments: _Sequence[str]) -> dict[str, list[str]]:
    """Inspect a formula block without evaluating it.

    Returns sorted dependency lists under `params` and `properties`, plus output
    names in source order (`outputs`) and topological evaluation order (`order`).
    """

def evaluate_formula(
    assignments: _Sequence[str],
    properties: dict[str, _PropertyVector],
    params: dict[str, _ParamValue] | None = None,
) -> dict[str, list[float]]:
    """Evaluate assignment strings over named equal-length property vectors.

    `$name` tokens are scalar runtime parameters from `params`; bare symbols are
    property vectors or prior assignments in the same block. Scalars broadcast.
    """

# --- geometry and geostatistics ---------------------------------------------

@final
class Lattice:
    """A regular 2-D lattice — the target grid geometry. Optional intrinsic
    `rotation_deg` (CCW from east to I) and `yflip` preserve the historic
    axis-aligned constructor defaults. World units throughout.
    """
    def __new__(
        cls,
        xori: _Real,
        yori: _Real,
        xinc: _Real,
        yinc: _Real,
        ncol: _Count,
        nrow: _Count,
        rotation_deg: _Real = 0.0,
        yflip: bool = False,
    ) -> Lattice: ...
    @property
    def xori(self) -> float:
        """World x of node (0, 0)."""
    @property
    def yori(self) -> float:
        """World y of node (0, 0)."""
    @property
    def xinc(self) -> float:
        """Node spacing along the intrinsic I axis (columns)."""
    @property
    def yinc(self) -> float:
        """Node spacing along the intrinsic J axis (rows)."""
    @property
    def ncol(self) -> int:
        """Number of nodes along I."""
    @property
    def nrow(self) -> int:
        """Number of nodes along J."""
    @property
    def rotation_deg(self) -> float:
        """Rotation of the I axis in degrees counter-clockwise from east, as normalised at
        construction: the remainder of the given angle by 360, plus 360 when negative.
        """
    @property
    def yflip(self) -> bool:
        """True when the J axis is reversed (left-handed frame)."""
    def node_xy(self, i: _Count, j: _Count) -> tuple[float, float]:
        """Compatibility aliases matching the core geometry vocabulary: `node_xy(i, j)` is
        `intrinsic_to_world` on integer nodes, `xy_to_ij(x, y)` is `world_to_intrinsic`
        (fractional, not rounded).
        """
    def intrinsic_to_world(self, fi: _Real, fj: _Real) -> tuple[float, float]:
        """Exact fractional intrinsic `(i, j)` to world `(x, y)` transform."""
    def world_to_intrinsic(self, x: _Real, y: _Real) -> tuple[float, float] | None:
        """Exact world `(x, y)` to fractional intrinsic `(i, j)` transform."""
    def xy_to_ij(self, x: _Real, y: _Real) -> tuple[float, float] | None:
        """Compatibility aliases matching the core geometry vocabulary: `node_xy(i, j)` is
        `intrinsic_to_world` on integer nodes, `xy_to_ij(x, y)` is `world_to_intrinsic`
        (fractional, not rounded).
        """
    def step_vectors(self) -> tuple[list[float], list[float]]:
        """Exact world-coordinate step vectors for positive intrinsic I and J."""

@final
class Variogram:
    """A fully-specified variogram: a model shape plus `nugget` `c₀`, partial `sill`
    `c`, and `range` `a`. Build directly (`Variogram(model, nugget, sill,
    range)`) or infer with `Variogram.fit(model, experimental)`. For the
    exponential/Gaussian models `range` is the *practical* range (95 % of sill).
    """
    def __new__(cls, model: _Model, nugget: _Real, sill: _Real, range: _Real) -> Variogram: ...
    @staticmethod
    def isotropic(model: _Model, nugget: _Real, sill: _Real, range: _Real) -> Variogram:
        """The same `Variogram` as `Variogram(model, nugget, sill, range)`."""
    @staticmethod
    def fit(model: _Model, experimental: ExperimentalVariogram) -> Variogram:
        """Fit `(nugget, sill, range)` of `model` to an `ExperimentalVariogram` by
        pair-count weighted least squares (closed-form nugget+sill for each
        candidate range, range by grid search). The grid-search fit runs with the
        GIL released.
        """
    def __reduce__(self) -> tuple[type[Variogram], tuple[str, float, float, float]]: ...
    @property
    def nugget(self) -> float:
        """Nugget `c₀`."""
    @property
    def sill(self) -> float:
        """Partial sill `c` (the rise above the nugget)."""
    @property
    def range(self) -> float:
        """Range `a` (the practical range for the exponential and Gaussian models)."""
    @property
    def model(self) -> _ModelName:
        """Canonical model name: "nugget", "spherical", "exponential" or "gaussian"."""

@final
class AnisotropicVariogram:
    """Directional variogram with horizontal major/minor ranges, vertical range,
    and major-axis azimuth in degrees clockwise from north.
    """
    def __new__(
        cls,
        model: _Model,
        major: _Real,
        minor: _Real,
        vertical: _Real,
        azimuth: _Real,
        sill: _Real = 1.0,
        nugget: _Real = 0.0,
    ) -> AnisotropicVariogram: ...
    def __reduce__(
        self,
    ) -> tuple[type[AnisotropicVariogram], tuple[str, float, float, float, float, float, float]]: ...
    @staticmethod
    def isotropic(model: _Model, nugget: _Real, sill: _Real, range: _Real) -> AnisotropicVariogram: ...
    def gamma_offset(self, dx: _Real, dy: _Real, dz: _Real = 0.0) -> float:
        """Semivariance for the offset `(dx, dy, dz)` (x east, y north)."""
    def anisotropic_distance(self, dx: _Real, dy: _Real, dz: _Real = 0.0) -> float:
        """Reduced distance of the offset `(dx, dy, dz)`, in units of the major range's
        length scale (an offset of length `major` along the major axis has distance `major`).
        """
    @property
    def nugget(self) -> float:
        """Nugget `c₀`."""
    @property
    def sill(self) -> float:
        """Partial sill `c`."""
    @property
    def major(self) -> float:
        """Range along the major horizontal axis."""
    @property
    def minor(self) -> float:
        """Range along the minor horizontal axis."""
    @property
    def vertical(self) -> float:
        """Vertical range."""
    @property
    def azimuth(self) -> float:
        """Major-axis azimuth in degrees clockwise from north, in `[0, 360)`."""
    @property
    def model(self) -> _ModelName:
        """Canonical model name: "nugget", "spherical", "exponential" or "gaussian"."""

@final
class ExperimentalVariogram:
    """An experimental (empirical) variogram: aligned `lags` / `semivariances` /
    `counts` per populated lag class. Feed it to `Variogram.fit`.

    The three aligned lists are materialized **once** at construction and cached,
    so `.lags` / `.semivariances` / `.counts` are cheap (`Py` refcount bumps) —
    no Vec clone + list rebuild per access.
    """
    def __len__(self) -> int: ...
    @property
    def lags(self) -> list[float]:
        """Mean pair separation `h̄ₖ` per retained lag class."""
    @property
    def semivariances(self) -> list[float]:
        """Average semivariance `γ̂(hₖ)` per retained lag class."""
    @property
    def counts(self) -> list[int]:
        """Data-pair count per retained lag class."""

def experimental_variogram(coords: _Rows, lag: _Real, n_lags: _Count) -> ExperimentalVariogram:
    """Omnidirectional experimental variogram of `coords` (`[x, y, z]` rows, value
    in `z`): `n_lags` bins of width `lag`, empty bins dropped, each class
    reporting its mean pair separation. Errors on < 2 data or non-positive
    `lag` / zero `n_lags`. The O(n²) pairing runs with the GIL released.
    """

def local_kriging_grid(
    coords: _Rows, lattice: Lattice, variogram: Variogram, max_neighbours: _Count, radius: _Real
) -> tuple[_Field, _Field]:
    """Moving-neighbourhood ordinary kriging of `coords` onto `lattice` with
    `variogram`, using up to `max_neighbours` data within `radius` per node.
    Returns `(estimate, variance)` — two `ncol × nrow` nested-list fields
    (`field[col][row]`); a node with no data in range is `NaN` in both. The solve
    runs with the GIL released. For the flat crossing see `local_kriging_grid_flat`.
    """

def local_kriging_grid_flat(
    coords: _Rows, lattice: Lattice, variogram: Variogram, max_neighbours: _Count, radius: _Real
) -> tuple[bytes, bytes, _Shape]:
    """Flat crossing of [`local_kriging_grid`]: returns
    `(estimate_bytes, variance_bytes, (ncol, nrow))` — the two fields as single
    little-endian `f64` `bytes` buffers (`field[col][row]`) instead of boxed
    nested lists. `np.frombuffer(estimate_bytes, dtype='<f8').reshape(ncol, nrow)`.
    """

def sgs(
    coords: _Rows,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: _Count,
    radius: _Real,
    seed: _Count,
) -> _Field:
    """Sequential Gaussian simulation of `coords` onto `lattice`, conditioned
    exactly on the data, seeded (`seed` reproduces the field bit-for-bit). The
    `variogram` should be fitted on normal-score data (total sill ~1). Returns
    the `ncol × nrow` simulated field in **data space** as nested lists
    (`field[col][row]`). Errors on empty input or invalid neighbourhood params.
    The simulation runs with the GIL released. For the flat crossing see `sgs_flat`.
    """

def sgs_flat(
    coords: _Rows,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: _Count,
    radius: _Real,
    seed: _Count,
) -> _FlatField:
    """Flat crossing of [`sgs`]: returns `(field_bytes, (ncol, nrow))` — the
    simulated field as one little-endian `f64` `bytes` buffer (`field[col][row]`)
    instead of a boxed nested list.
    `np.frombuffer(field_bytes, dtype='<f8').reshape(ncol, nrow)`.
    """

# --- interpolation and resampling -------------------------------------------

def interp1d(
    x: _Reals, y: _Reals, query: _Reals, method: _InterpMethod = "linear", extrapolate: bool = False
) -> list[float]:
    """Interpolate a 1-D series at `query` positions.

    `x` must be finite and strictly increasing, with the same length as `y`.
    Supported methods are `"nearest"`/`"closest"`, `"previous"`/`"ffill"`,
    `"next"`/`"bfill"`, `"linear"`, and `"cubic"`/`"spline"` (natural cubic).
    Out-of-bounds queries return `NaN` unless `extrapolate=True`.
    """

def resample(
    src_grid: _GridIn, src_georef: Lattice, target: Lattice, method: _ResampleMethod = "bilinear"
) -> _Field:
    """Resample `src_grid` (values on `src_georef`) onto `target`'s node lattice.
    `src_grid` is nested lists `field[col][row]` (`ncol × nrow`, `NaN` =
    undefined); `method` is `"bilinear"` (default) or `"nearest"`. Returns the
    `target.ncol × target.nrow` field as nested lists (`NaN` outside the source
    extent or where the null policy propagates a hole).
    """

def resample_flat(
    src_grid: bytes, src_georef: Lattice, target: Lattice, method: _ResampleMethod = "bilinear"
) -> _FlatField:
    """Flat crossing of [`resample`]: `src_grid` is a little-endian `f64` `bytes`
    buffer (`field[col][row]`, from `np.ascontiguousarray(a, '<f8').tobytes()`)
    matching `src_georef`; returns `(field_bytes, (ncol, nrow))` for the target.
    Both crossings are one `memcpy` (no boxed nested lists / per-cell floats).
    `np.frombuffer(field_bytes, dtype='<f8').reshape(ncol, nrow)`.
    """

# --- synthetic logs and petrophysics ----------------------------------------

@final
class ZoneSpec:
    """One zone's petrophysical target for a synthetic log: a `thickness_m`, the
    property target `{mean, std}` (a `[0,1]` fraction), and the depth
    autocorrelation length `corr_length_m` (bed scale). Requires `0 < mean < 1`,
    `std > 0` with `std² < mean·(1−mean)`, and positive thickness / correlation
    length.
    """
    def __new__(cls, thickness_m: _Real, mean: _Real, std: _Real, corr_length_m: _Real) -> ZoneSpec: ...
    @property
    def thickness_m(self) -> float:
        """Zone thickness in metres."""
    @property
    def mean(self) -> float:
        """Target mean of the [0,1] property."""
    @property
    def std(self) -> float:
        """Target standard deviation of the [0,1] property."""
    @property
    def corr_length_m(self) -> float:
        """Depth autocorrelation length in metres."""

def zone_sample_counts(zones: _Sequence[ZoneSpec], depth_step: _Real) -> list[int]:
    """Per-zone depth-sample counts of the `zones` stack at `depth_step` — the shared
    depth layout of a stack's logs.
    """

def synth_log_series(
    zones: _Sequence[ZoneSpec], depth_step: _Real, transition_beds: _Count, seed: _Count
) -> list[float]:
    """One continuous, depth-autocorrelated log over the `zones` stack, sampled every
    `depth_step` m (top first). Each zone hits its `{mean, std}` in `[0,1]`;
    `transition_beds` blends the statistics across each internal boundary
    (`0` = hard). Seeded/reproducible. Returns the series (a list of floats).
    """

# The series is `bytes`, one byte per sample (1 = sand, 0 = shale), which
# `synth_por_with_facies` takes back as is.
def synth_facies_series(
    n: _Count, depth_step: _Real, ntg_target: _Real, bed_scale_m: _Real, seed: _Count
) -> bytes:
    """A binary sand/shale series of `n` samples at `depth_step` m, sand proportion =
    `ntg_target`, mean bed thickness ~ `bed_scale_m`. Returns `bytes`, one byte per
    sample (`1` = sand, `0` = shale). Seeded/reproducible.
    """

def synth_por_with_facies(
    facies: _Sequence[SupportsIndex],
    depth_step: _Real,
    sand_mean: _Real,
    sand_std: _Real,
    shale_mean: _Real,
    shale_std: _Real,
    corr_length_m: _Real,
    seed: _Count,
) -> list[float]:
    """Porosity composed onto a `facies` series (list of ints, `1` = sand): each
    sample drawn from the `sand`/`shale` `{mean, std}` target per its facies, over a
    shared AR(1) driver of length = `facies` (correlation length `corr_length_m`).
    Returns a `[0,1]` porosity list aligned with `facies`. Seeded/reproducible.
    """

@final
class PetroZoneSpec:
    """One zone's **coupled** petrophysics target: a porosity generator whose net flag
    is *derived* from porosity by `net_cutoff` (`net_flag = phie ≥ net_cutoff`),
    calibrated so the realized series hits the quoted `ntg_target` and the net-rock
    `(net_por_mean, net_por_std)`. `nonnet_por_*` is the shale (non-net) porosity
    distribution. The sand porosity distribution and facies proportion are solved
    internally. Requires `0 < net_cutoff < 1`, `0 < ntg_target < 1`, feasible `[0,1]`
    moment targets, and positive length scales.
    """
    # `net_cutoff` defaults to 0.1 (the signature shows it as `...`).
    def __new__(
        cls,
        ntg_target: _Real,
        net_por_mean: _Real,
        net_por_std: _Real,
        nonnet_por_mean: _Real,
        nonnet_por_std: _Real,
        bed_scale_m: _Real,
        correlation_len_m: _Real,
        net_cutoff: _Real = ...,
    ) -> PetroZoneSpec: ...
    @property
    def net_cutoff(self) -> float:
        """Porosity cutoff of the net flag."""
    @property
    def ntg_target(self) -> float:
        """Target net-to-gross."""
    @property
    def bed_scale_m(self) -> float:
        """Facies bed scale in metres."""
    @property
    def correlation_len_m(self) -> float:
        """Porosity autocorrelation length in metres."""
    @property
    def net_por_mean(self) -> float:
        """Target mean porosity of the net rock."""
    @property
    def net_por_std(self) -> float:
        """Target porosity std of the net rock."""
    @property
    def nonnet_por_mean(self) -> float:
        """Mean porosity of the shale."""
    @property
    def nonnet_por_std(self) -> float:
        """Porosity std of the shale."""

# Keys "phie" and "net_flag", each `n_samples` floats; the flag is 1.0 (net) or 0.0.
def synth_petro_curves(
    zone: PetroZoneSpec, depth_step: _Real, n_samples: _Count, seed: _Count
) -> dict[str, list[float]]:
    """The **coupled** porosity + derived net-flag curve for one `zone`, `n_samples`
    samples spaced `depth_step` m (top first). The net flag is `phie ≥ net_cutoff`
    by construction; the generator solves a facies mixture so the realized series
    hits `ntg_target` and the net-rock moments (see `PetroZoneSpec`). Returns a dict
    `{"phie": [float], "net_flag": [int] (1/0)}`. Errors on an infeasible spec (with
    the achievable bound stated). Seeded/reproducible.
    """

def ntg_curve(net_flag: _Reals, depth_step: _Real, window_m: _Real) -> list[float]:
    """A continuous NTG **display** curve from a derived `net_flag` (list of numbers,
    non-zero = net — accepts the `1.0`/`0.0` floats `synth_petro_curves` returns, or
    `1`/`0` ints): the centred running mean of the flag over a `window_m`-metre window
    (samples spaced `depth_step` m). Returns a `[0,1]` list aligned with `net_flag`.
    """

# --- synthetic surfaces -----------------------------------------------------

def synth_dome_surface(
    lattice: Lattice,
    relief: _Real,
    aspect: _Real,
    tilt: _Real,
    noise_variance: _Real,
    noise_variogram: Variogram,
    seed: _Count,
) -> _Field:
    """A synthetic dome structure on `lattice`: an elliptical four-way closure of
    amplitude `relief`, elongation `aspect`, a regional `tilt`, and correlated
    noise (`noise_variance` amplitude², continuity `noise_variogram`; variance `0`
    ⇒ none). Returns the `ncol × nrow` relief field (crest = max) as nested lists.
    """

def synth_dome_surface_flat(
    lattice: Lattice,
    relief: _Real,
    aspect: _Real,
    tilt: _Real,
    noise_variance: _Real,
    noise_variogram: Variogram,
    seed: _Count,
) -> _FlatField:
    """Flat crossing of [`synth_dome_surface`]: `(field_bytes, (ncol, nrow))`
    (little-endian `f64`, `field[col][row]`) instead of a boxed nested list.
    """

def synth_isochore(
    lattice: Lattice, mean_thickness: _Real, variability: _Real, variogram: Variogram, seed: _Count
) -> _Field:
    """A synthetic isochore (thickness map) on `lattice`: a correlated field about
    `mean_thickness` with std `variability` and continuity `variogram`, clamped at
    zero. Returns the `ncol × nrow` field as nested lists. Seeded/reproducible.
    """

def synth_isochore_flat(
    lattice: Lattice, mean_thickness: _Real, variability: _Real, variogram: Variogram, seed: _Count
) -> _FlatField:
    """Flat crossing of [`synth_isochore`]: `(field_bytes, (ncol, nrow))`
    (little-endian `f64`, `field[col][row]`) instead of a boxed nested list.
    """

# `correlate_with` is `(field, rho)`: the field on `lattice` and the target correlation.
def synth_trend_map(
    lattice: Lattice, variogram: Variogram, seed: _Count, correlate_with: tuple[_GridIn, _Real] | None = None
) -> _Field:
    """A depositional trend map on `lattice`: a correlated field mapped to `[0,1]`
    (Uniform marginal). With `correlate_with = (field, rho)` the trend is built to
    correlate with `field` (nested lists, `ncol × nrow`) at ~`rho ∈ [-1,1]`.
    Returns the `ncol × nrow` trend as nested lists. Seeded/reproducible.
    """

def synth_trend_map_flat(
    lattice: Lattice, variogram: Variogram, seed: _Count, correlate_with: tuple[_GridIn, _Real] | None = None
) -> _FlatField:
    """Flat crossing of [`synth_trend_map`]: `(field_bytes, (ncol, nrow))`
    (little-endian `f64`, `field[col][row]`) instead of a boxed nested list.
    `correlate_with` (if given) is still a nested list (rare path).
    """

# --- wells ------------------------------------------------------------------

def place_wells(
    xmin: _Real, ymin: _Real, xmax: _Real, ymax: _Real, n: _Count, seed: _Count
) -> list[list[float]]:
    """Place `n` seeded uniform-random well heads inside the rectangular extent
    `(xmin, ymin, xmax, ymax)`. Returns `[x, y]` 2-lists. Seeded/reproducible.
    """

def place_wells_in_polygon(polygon: _Points, n: _Count, seed: _Count) -> list[list[float]]:
    """Place `n` seeded uniform-random well heads inside `polygon` (`[x, y]` 2-lists,
    implicitly closed), by rejection sampling. Returns `[x, y]` 2-lists.
    """

def tops_from_surface(
    surface: _GridIn, lattice: Lattice, well_xy: _Points, residual: Sampler, seed: _Count
) -> list[float]:
    """Pick a top from `surface` (nested lists, `ncol × nrow`) on `lattice` at each
    well in `well_xy` (`[x, y]` 2-lists), adding one `residual` draw per well (a
    `Sampler`, e.g. `Sampler.uniform(-10, 10)`). A well outside the extent → `NaN`.
    Returns one top per well. Seeded/reproducible.
    """

# Columnar stations: keys "md", "x", "y", "z", "tvd", "incl", "azim". `seed` is reserved.
def synth_trajectory(
    wellhead_xy: _Point, kb_elevation: _Real, td: _Real, md_step: _Real, seed: _Count
) -> dict[str, list[float]]:
    """A vertical well trajectory from `wellhead_xy` (`[x, y]`), KB elevation
    `kb_elevation` (subsea +up), to TD `td` (TVD below KB), station spacing
    `md_step` m (final station lands on `td`). Returns a **columnar** dict of equal-
    length lists: `md`, `x`, `y`, `z` (elevation), `tvd`, `incl`, `azim` (vertical:
    `MD==TVD`, constant `xy`, `incl=azim=0`). `seed` is reserved for the deviated
    case. Seeded/reproducible.
    """

def synth_trajectory_profile(
    wellhead_xy: _Point,
    kb_elevation: _Real,
    td: _Real,
    md_step: _Real,
    seed: _Count,
    profile: _Profile,
    kickoff_md: _Real = 0.0,
    build_rate_deg_per_30m: _Real = 3.0,
    hold_incl_deg: _Real = 45.0,
    azimuth_deg: _Real = 0.0,
    drop_start_md: _Real | None = None,
    drop_rate_deg_per_30m: _Real = 3.0,
    final_incl_deg: _Real = 0.0,
) -> dict[str, list[float]]:
    """A **directional** well trajectory following `profile` from `wellhead_xy`
    (`[x, y]`, world), KB elevation `kb_elevation` (subsea +up), to TD `td`
    (**MD** below KB), station spacing `md_step` m (final station lands on `td`).

    `profile` is `"vertical"` | `"build_hold"` | `"build_hold_drop"`:
    - `build_hold` — kick off at `kickoff_md`, build to `hold_incl_deg` at
      `build_rate_deg_per_30m` (believable ~1–4 °/30 m), hold on `azimuth_deg`.
    - `build_hold_drop` — as above, then from `drop_start_md` drop back toward
      `final_incl_deg` at `drop_rate_deg_per_30m` (an S-well).

    Stations are placed by the minimum-curvature relation (this is trajectory
    *synthesis*, not survey interpretation). Use `md_step` ≈ 15–30 m for a deviated
    bore so it crosses many areal columns. Returns the same **columnar** dict as
    `synth_trajectory` (`md`/`x`/`y`/`z`/`tvd`/`incl`/`azim`). Deterministic;
    `seed` is reserved.
    """

def max_dogleg_severity(md: _Reals, incl: _Reals, azim: _Reals) -> float:
    """The maximum **dogleg severity** (degrees of hole-angle change per 30 m MD) of a
    survey given its columnar `md` / `incl` / `azim` lists (as returned by
    `synth_trajectory_profile`). `0` for a vertical well; the believability yardstick
    for a directional path. The three lists must be equal length.
    """

# --- world frame and outlines -----------------------------------------------

@final
class Georef:
    """A fictional **world-frame** origin (a UTM-style easting/northing) for placing a
    synthetic asset in the world — the default posture (the frame escapes the
    testing doctrine feeds trace to fixtures built in one tidy local frame). In
    zavikTools the georeference *is* the `Lattice`; `Georef` is a convenience over
    that: it builds a world-placed `Lattice` and translates locally-built points
    into the same frame. `Georef()` uses the documented fictional origin;
    `Georef(east0, north0)` a chosen one.
    """
    def __new__(cls, east0: _Real | None = None, north0: _Real | None = None) -> Georef: ...
    @property
    def east0(self) -> float:
        """World easting of the origin."""
    @property
    def north0(self) -> float:
        """World northing of the origin."""
    def origin(self) -> list[float]:
        """The origin as an `[east, north]` world point."""
    def lattice(
        self,
        xinc: _Real,
        yinc: _Real,
        ncol: _Count,
        nrow: _Count,
        rotation_deg: _Real = 0.0,
        yflip: bool = False,
    ) -> Lattice:
        """A world-placed `Lattice` of `ncol × nrow` nodes at spacing `(xinc, yinc)`,
        node `(0, 0)` pinned to this origin.
        """
    def place_point(self, local: _Point) -> list[float]:
        """Translate a local `[x, y]` (from `(0, 0)`) into this world frame."""
    def place_points(self, locals: _Points) -> list[list[float]]:
        """Translate a list of local `[x, y]` points into this world frame."""
    def place_intrinsic(self, intrinsic: _Point, rotation_deg: _Real = 0.0, yflip: bool = False) -> list[float]:
        """Place a local point through a rotated/flipped intrinsic frame."""

def closure_outline(surface: _GridIn, lattice: Lattice, spill_depth: _Real) -> _Ring:
    """The closing contour of `surface` (nested lists, `ncol × nrow`) on `lattice` at
    level `spill_depth` — the largest closed ring as `[x, y]` 2-lists (empty if the
    structure does not close at that level). Marching squares.
    """

def study_area_outline(
    xmin: _Real, ymin: _Real, xmax: _Real, ymax: _Real, corner_radius: _Real, arc_steps: _Count
) -> _Ring:
    """A rectangular (optionally corner-rounded) study-area outline for the extent
    `(xmin, ymin, xmax, ymax)`: `corner_radius ≤ 0` ⇒ sharp corners; else each
    corner is `arc_steps` segments. Returns a closed ring of `[x, y]` 2-lists.
    """

# --- units ------------------------------------------------------------------

def m3_to_mcm(m3: _Real) -> float:
    """Cubic metres -> mcm (million m³)."""

def mcm_to_m3(mcm: _Real) -> float:
    """mcm (million m³) -> cubic metres."""

def m3_to_msm3(m3: _Real) -> float:
    """Cubic metres (Sm³) -> MSm³ (million Sm³) — oil reporting."""

def msm3_to_m3(msm3: _Real) -> float:
    """MSm³ (million Sm³) -> cubic metres (Sm³)."""

def m3_to_bcm(m3: _Real) -> float:
    """Cubic metres (Sm³) -> bcm (billion Sm³) — gas reporting."""

def bcm_to_m3(bcm: _Real) -> float:
    """bcm (billion Sm³) -> cubic metres (Sm³)."""

def scf_to_sm3(scf: _Real) -> float:
    """Standard cubic feet -> standard cubic metres (pure geometric factor)."""

def sm3_to_scf(sm3: _Real) -> float:
    """Standard cubic metres -> standard cubic feet (pure geometric factor)."""

def stb_to_sm3(stb: _Real) -> float:
    """Stock-tank barrels -> standard cubic metres."""

def sm3_to_stb(sm3: _Real) -> float:
    """Standard cubic metres -> stock-tank barrels."""

def km2_to_m2(km2: _Real) -> float:
    """Square kilometres -> square metres (areal report scale)."""

def m2_to_km2(m2: _Real) -> float:
    """Square metres -> square kilometres (areal report scale)."""

def format_volume(v_m3: _Real) -> str:
    """Format a volume in m³ with an SI report unit chosen by magnitude
    (`bcm` ≥ 1e9, `mcm` ≥ 1e6, else `m³`), e.g. `format_volume(12.4e6) ==
    "12.4 mcm"`.
    """
