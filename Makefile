# The two commands of the README do everything on a fresh Debian 12 machine:
#   make run    installs what is missing, builds, finds the duplicates of the sample
#   make test   installs what is missing, builds, runs every test
# Under CI (CI=true) warnings are errors.

PRESET ?= $(if $(filter true,$(CI)),ci,release)
BUILD := build/$(PRESET)
KORVIX := $(BUILD)/tools/korvix/korvix

.PHONY: run test test-sanitize fuzz bench build packages screenshots setup clean

run: build
	$(KORVIX) init
	$(KORVIX) dedupe --name "Adresse und Name" data/sample.txt

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: setup
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize
	ctest --test-dir build/sanitize --output-on-failure -j2

# Each fuzz target (tests/fuzz) for FUZZ_SECONDS from its seed corpus, in a
# clang build of its own; fails on a crash or a broken invariant.
FUZZ_SECONDS ?= 25
fuzz: setup
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	tests/fuzz/run build/fuzz $(FUZZ_SECONDS)

bench: build
	python3 bench/engine/bench_engine.py --build $(BUILD)
	python3 bench/dedupe/bench_dedupe.py --korvix $(KORVIX)
	python3 bench/key/bench_key.py --korvix $(KORVIX)

# The Debian packages (cmake/Packaging.cmake) and the Python wheel
# (pyproject.toml), from this build tree, into build/packages/.
packages: build
	rm -rf build/packages
	cd $(BUILD) && cpack -B $(CURDIR)/build/packages
	rm -rf build/packages/_CPack_Packages
	KORVIX_BUILD_DIR=$(CURDIR)/$(BUILD) /usr/bin/python3 -m pip wheel --no-build-isolation --no-deps \
	  --no-index --no-cache-dir --disable-pip-version-check -q -w build/packages .
	@ls build/packages

# The pictures of the two dialogs in the documentation, drawn offscreen.
screenshots: build
	$(BUILD)/tools/korvix/korvix_screenshots docs/screenshots

build: setup
	@test -f $(BUILD)/build.ninja || cmake --preset $(PRESET) >/dev/null
	cmake --build $(BUILD)

setup:
	@scripts/setup

clean:
	rm -rf build
