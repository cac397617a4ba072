# Top-level entry points. Every target installs what is missing first, so that
# a fresh Debian 12 machine needs nothing but `make` (run as root).

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 10
JOBS       ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DVORNA_WERROR=ON

# Debian packages the build, the tests and the benchmarks need.
PACKAGES := g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            qt6-base-dev qt6-image-formats-plugins qt6-translations-l10n libgl-dev netpbm \
            python3-numpy help2man go-md2man libspng-dev imagemagick parallel nlohmann-json3-dev \
            libstb-dev fonts-dejavu-core libxbyak-dev \
            libavcodec-dev libavformat-dev libswscale-dev libwebp-dev libgif-dev libimagequant-dev \
            ffmpeg webp
# Installed by `make fuzz` only: clang 14 and its runtime libraries, libFuzzer among them.
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
# Installed by `make deb` and `make deb-test` only: the package tools, its checkers, and
# debootstrap for the fresh Debian 12 root the package is tried in.
DEB_PACKAGES := dpkg-dev fakeroot lintian desktop-file-utils debootstrap
# Installed by `make format-check` only.
FORMAT_PACKAGES := clang-format
# Every C++ source of the project, in the style of .clang-format (the yardsticks are copies of
# independent programs and stay as they came).
FORMAT_FILES = $(shell find src tests bench fuzz tools -path bench/yardsticks -prune -o -type f \
                 \( -name '*.cpp' -o -name '*.h' -o -name '*.inc' \) -print 2>/dev/null | sort)

.PHONY: all deps build test asan fuzz format format-check bench demo gui clean install deb deb-test

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" != 0 ]; then echo "Missing packages:$$missing (run as root or install them)"; exit 1; fi; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORNA_WERROR=ON -DVORNA_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The libFuzzer targets (fuzz/), built with clang 14 and the sanitizers, each run for
# FUZZ_SECONDS on a corpus of the shipped scripts and small 8-bit BMPs (netpbm makes them).
# Inputs the fuzzer finds new are kept in $(FUZZ_BUILD)/corpus/, failing ones in $(FUZZ_BUILD)/.
fuzz: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(FUZZ_PACKAGES)"
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DVORNA_WERROR=ON -DVORNA_FUZZ=ON -DVORNA_GUI=OFF -DVORNA_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target bmp-reader-fuzz script-parser-fuzz png-reader-fuzz \
	  varied-line-fuzz
	mkdir -p $(FUZZ_BUILD)/corpus/scripts $(FUZZ_BUILD)/corpus/bmp $(FUZZ_BUILD)/corpus/png \
	  $(FUZZ_BUILD)/corpus/vary
	printf 'modpar beta 6:10:5' > $(FUZZ_BUILD)/corpus/vary/range
	printf 'diffusion B 0.5,0.75,1' > $(FUZZ_BUILD)/corpus/vary/list
	printf 'init A 3 -0.3:0.3:3' > $(FUZZ_BUILD)/corpus/vary/init
	cp examples/*.tpl examples/gallery/*.vna $(FUZZ_BUILD)/corpus/scripts/
	for f in examples/formulas/*.vna; do cp $$f $(FUZZ_BUILD)/corpus/scripts/formula-$$(basename $$f); done
	printf 'model formula\nformula A sin(A, B) - 1e-3\nformula B (A + +B\nformula C A^17 - clamp(x, y)\n' \
	  > $(FUZZ_BUILD)/corpus/scripts/formula-faults.vna
	{ cat examples/gallery/spots-brusselator.vna; printf 'at 0 paint A set 6 8 100 100\nat 40 modpar beta 8 +0.0001\nat 90 paint B add -0.5 20 30 40 170 160\nat 99 diffusion A 0.3\n'; } \
	  > $(FUZZ_BUILD)/corpus/scripts/recorded.vna
	pgmramp -lr 7 5 | ppmtobmp -bpp=8 > $(FUZZ_BUILD)/corpus/bmp/ramp-7x5.bmp 2>/dev/null
	{ printf 'model formula\nmap ramp %s\nmap sin gone.png\nmap ramp x.bmp\n' "$(CURDIR)/$(FUZZ_BUILD)/corpus/bmp/ramp-7x5.bmp"; \
	  printf 'formula A ramp*(1 - A) - A*B^2\nformula B A*B^2 - 0.1*B\ninit A 1 0\n'; \
	  printf 'initmap B %s 0 0.5\ninitmap A gone.bmp 0\n' "$(CURDIR)/$(FUZZ_BUILD)/corpus/bmp/ramp-7x5.bmp"; } \
	  > $(FUZZ_BUILD)/corpus/scripts/formula-maps.vna
	pgmramp -diagonal 16 9 | ppmtobmp -bpp=8 > $(FUZZ_BUILD)/corpus/bmp/diagonal-16x9.bmp 2>/dev/null
	ppmmake red 1 1 | ppmtobmp -bpp=8 > $(FUZZ_BUILD)/corpus/bmp/dot-1x1.bmp 2>/dev/null
	pgmramp -lr 7 5 | pnmtopng > $(FUZZ_BUILD)/corpus/png/gray-7x5.png 2>/dev/null
	ppmrainbow -width=6 -height=4 red blue | pnmtopng > $(FUZZ_BUILD)/corpus/png/rgb-6x4.png 2>/dev/null
	pgmramp -lr 7 5 | pnmdepth 65535 | pnmtopng > $(FUZZ_BUILD)/corpus/png/gray16-7x5.png 2>/dev/null
	$(FUZZ_BUILD)/bmp-reader-fuzz -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=$(FUZZ_BUILD)/bmp- $(FUZZ_BUILD)/corpus/bmp
	$(FUZZ_BUILD)/script-parser-fuzz -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=$(FUZZ_BUILD)/script- $(FUZZ_BUILD)/corpus/scripts
	$(FUZZ_BUILD)/png-reader-fuzz -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=$(FUZZ_BUILD)/png- $(FUZZ_BUILD)/corpus/png
	$(FUZZ_BUILD)/varied-line-fuzz -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=$(FUZZ_BUILD)/vary- $(FUZZ_BUILD)/corpus/vary

# Fails when a source is not laid out as .clang-format says; `make format` lays them out.
format-check:
	@$(MAKE) --no-print-directory deps PACKAGES="$(FORMAT_PACKAGES)"
	clang-format --dry-run -Werror $(FORMAT_FILES)

format:
	@$(MAKE) --no-print-directory deps PACKAGES="$(FORMAT_PACKAGES)"
	clang-format -i $(FORMAT_FILES)

# One table: the fast kernels against the reference kernels for every model, and the
# Brusselator against the naive C++ and numpy yardsticks (bench/yardsticks), measured in one run;
# then the PNG levels on the gallery's final images and maps (written stored by vorna-cli into
# $(BUILD)/bench-gallery/, then encoded again at every level), BMP against PNG image writes, a
# run with compressed PNG images against the same run without, and a 36-variant sweep against
# its scripts run one by one; last, a 600x600 run with and without an MP4 movie of it.
bench: build
	cmake --build $(BUILD) -j $(JOBS) --target vorna-bench vorna-speed vorna-image-speed
	g++ -O2 -std=c++17 -o $(BUILD)/yardstick-naive bench/yardsticks/naive.cpp
	cmake --build $(BUILD) -j $(JOBS) --target vorna-cli
	./$(BUILD)/vorna-speed --naive ./$(BUILD)/yardstick-naive --numpy bench/yardsticks/rd_numpy.py \
	  --cli ./$(BUILD)/vorna-cli
	rm -rf $(BUILD)/bench-gallery && mkdir -p $(BUILD)/bench-gallery/scripts
	cp examples/gallery/*.vna $(BUILD)/bench-gallery/scripts/
	for script in $(BUILD)/bench-gallery/scripts/*.vna; do \
	  ./$(BUILD)/vorna-cli -q --last -f png --png-level 0 --height --normal \
	    -o $(BUILD)/bench-gallery/png "$$script" > /dev/null || exit 1; \
	done
	./$(BUILD)/vorna-image-speed --gallery $(BUILD)/bench-gallery/png
	bench/sweep/sweep-bench.sh ./$(BUILD)/vorna-cli
	bench/movie/movie-bench.sh ./$(BUILD)/vorna-cli

# Runs the command-line program on a bundled example; the textures land in out/demo/ as PNG (the
# copy's image line gets the PNG file type).
DEMO_SCRIPT := examples/gallery/fingerprint-brd1.vna

demo: build
	rm -rf out/demo
	mkdir -p out/demo
	sed '/^image/ s/$$/ png/' $(DEMO_SCRIPT) > out/demo/$(notdir $(DEMO_SCRIPT))
	./$(BUILD)/vorna-cli out/demo/$(notdir $(DEMO_SCRIPT))
	@echo "Textures in out/demo/."

# The desktop program on a copy of the example script (started from build/, where new.tpl
# lies too, so that Parameters > New finds it).
gui: build
	cd $(BUILD) && { test -f example.vna || cp exemple.tpl example.vna || true; } && ./vorna example.vna

# `make install PREFIX=/opt/vorna` (DESTDIR=/staging prepended, as usual); the default is
# /usr/local.
PREFIX ?= /usr/local

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian package $(BUILD)/vorna_<version>-<release>_amd64.deb (CPack, dependencies from
# dpkg-shlibdeps).
deb: build
	@$(MAKE) --no-print-directory deps PACKAGES="$(DEB_PACKAGES)"
	rm -f $(BUILD)/vorna_*.deb
	cd $(BUILD) && cpack -G DEB

# The package installed with apt-get into a fresh Debian 12 root and run there, plus lintian
# and desktop-file-validate (about a minute and a half; the root and the downloaded packages are
# cached under $(BUILD)/deb-test/).
deb-test: deb
	tools/test-deb.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
