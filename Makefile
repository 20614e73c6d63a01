# Quick start: `make demo` runs the main job on the bundled example, `make test` runs every test.
# Both install what they need first (scripts/install-deps).

JOBS ?= $(shell nproc)
CTEST_JOBS ?= $(JOBS)

.PHONY: all deps build release debug fuzz test unit-test fuzz-test demo bench format clean package

all: release

deps:
	scripts/install-deps

release: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

debug: deps
	cmake --preset debug
	cmake --build --preset debug -j $(JOBS)

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

# Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer, then every fuzz target for a
# few seconds over its seed corpus. Fails when any test fails.
test: debug fuzz
	@status=0; \
	echo "== unit tests (debug preset: ASan + UBSan)"; \
	ctest --preset debug -j $(CTEST_JOBS) || status=1; \
	echo "== fuzz targets (fuzz preset: libFuzzer + ASan + UBSan)"; \
	ctest --preset fuzz -j $(CTEST_JOBS) || status=1; \
	exit $$status

unit-test: debug
	ctest --preset debug -j $(CTEST_JOBS)

fuzz-test: fuzz
	ctest --preset fuzz -j $(CTEST_JOBS)

demo: release
	scripts/demo build/release

# The Debian package of the release build (build/release/tarvik_*.deb).
package: release
	cmake --build --preset release --target package

bench: release
	scripts/bench build/release

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
