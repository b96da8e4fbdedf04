# Two commands for a fresh Debian 12 machine:
#   make run   installs what is missing, builds, runs the main job
#   make test  installs what is missing, builds, runs every test
BUILD ?= build
JOBS  ?= 2
# What `make run` needs: the programs and their shipped files (dictionary, start page, splash,
# translations, export images).
PROGRAMS = tessaly-crawl tessaly tessaly_dictionary tessaly_start_page tessaly_images

.PHONY: all deps configure build programs test run package bench fuzz format clean screenshots

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Only what `make run` runs: the two programs and the files they ship with.
programs: configure
	@cmake --build $(BUILD) -j$(JOBS) --target $(PROGRAMS)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

run: programs
	@scripts/run.sh $(BUILD)

# The Debian package, written into $(BUILD)/package/.
package: programs
	@cmake --build $(BUILD) -j$(JOBS) --target tessaly_package_files
	@cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/package/*.deb

# Pictures of the desktop program after a crawl of the demo site, in $(BUILD)/screenshots/, and
# of the program in German in $(BUILD)/screenshots/de/.
screenshots: configure
	@cmake --build $(BUILD) -j$(JOBS) --target tessaly-screenshots
	@xvfb-run -a -s "-screen 0 1280x900x24" $(BUILD)/tessaly-screenshots resources/demo-site/index.html $(BUILD)/screenshots
	@xvfb-run -a -s "-screen 0 1280x900x24" $(BUILD)/tessaly-screenshots resources/demo-site/index.html \
	  $(BUILD)/screenshots/de gui/share/lang.de.txt

bench: build
	@for b in $(BUILD)/bench_*; do [ -x "$$b" ] && "$$b"; done

# Runs every libFuzzer target for FUZZ_SECONDS on its seed corpus (what it learns stays in
# $(BUILD)/fuzz/work); prints each target's runs and executions per second. The targets are
# those of tests/fuzz/targets.cmake, as the configuration wrote them into fuzz-targets.txt.
FUZZ_SECONDS ?= 60
fuzz: build
	@test -f $(BUILD)/fuzz-targets.txt || { echo "The fuzz targets are not built here (they need clang with libFuzzer)." >&2; exit 1; }
	@for t in $$(cat $(BUILD)/fuzz-targets.txt); do \
	  echo "fuzz_$$t ($(FUZZ_SECONDS) s):"; \
	  tests/fuzz/run-fuzzer.sh $(BUILD)/fuzz/fuzz_$$t tests/fuzz/corpus/$$t $(BUILD)/fuzz/work/$$t $(FUZZ_SECONDS) || exit 1; \
	done

# Formats every C++ source of the repository with the style in .clang-format.
format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD)
