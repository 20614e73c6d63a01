# Quick start: `make demo` runs the main job on the bundled example, `make test` runs every test.
# Both install what they need first (scripts/install-deps).

JOBS ?= $(shell nproc)
CTEST_JOBS ?= $(JOBS)

.PHONY: all deps build release debug fuzz test unit-test fuzz-test demo bench format format-check lint clean package

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
	echo "== format (clang-format leaves the tree unchanged)"; \
	$(MAKE) --no-print-directory format-check || status=1; \
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

CXX_SOURCES = find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0

format:
	$(CXX_SOURCES) | xargs -0 clang-format -i

# Fails, naming each file, when `make format` would change something.
format-check:
	@$(CXX_SOURCES) | xargs -0 clang-format --dry-run -Werror

# clang-tidy with the checks of .clang-tidy over the sources of the debug build.
lint: debug
	find src \( -name '*.cpp' \) -print0 | xargs -0 -n 8 -P $(JOBS) clang-tidy --quiet -p build/debug \
	    --extra-arg=-Wno-unknown-warning-option

clean:
	rm -rf build
