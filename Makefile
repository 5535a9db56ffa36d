# make run   installs what is missing, builds, and opens the window on the
#            bundled sample (headless measurement when there is no display)
# make test  installs what is missing, builds with sanitizers, runs every test
# make bench builds the release tree and runs the benchmarks
# make accuracy builds the release tree and runs the accuracy campaign (real
#            backgrounds from Debian's wallpaper packages, installed when missing)
# make install [PREFIX=/usr/local]  builds the program alone and installs it
# make lens-accuracy renders distorted photos of four cameras and measures them
#            with lens correction on and off (release tree)
# make package builds a release tree of the program alone and a .deb with CPack

BUILD_DIR ?= build
TEST_DIR ?= build-test
BENCH_DIR ?= build-rel
PKG_DIR ?= build-pkg
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: all deps build run test bench accuracy lens-accuracy install package format clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARN_BUILD_TESTS=OFF \
	  -DSARN_BUILD_BENCHMARKS=OFF
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@bash scripts/run.sh $(BUILD_DIR)

test: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	  -DSARN_SANITIZE=ON -DSARN_BUILD_BENCHMARKS=OFF
	cmake --build $(TEST_DIR) -j$(JOBS)
	cd $(TEST_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j$(JOBS)

# The benchmarks render their photos with the test support library, so this
# tree is configured with the tests (release flags, no sanitizers).
# first_load.sh is the headline (fresh processes of sarn measure against
# djpeg); the Google Benchmarks are warm in-process detail figures.
BENCH_ROUNDS ?= 15
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BENCH_DIR) --target chain_bench photo_load_bench window_load_bench sarn sarn_data sarn_render_sample -j$(JOBS)
	bash bench/first_load.sh $(BENCH_DIR) $(BENCH_ROUNDS)
	$(BENCH_DIR)/bench/chain_bench
	$(BENCH_DIR)/bench/photo_load_bench

ACCURACY_COUNT ?= 320
accuracy: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	bash scripts/accuracy.sh $(BENCH_DIR) $(ACCURACY_COUNT)

# Spans at four cameras' own sizes, distorted by their lenses as lensfun models
# them, measured with --lens auto --precision and --lens off --precision
# against the undistorted truth: a table by camera and chord height.
LENS_WORK ?= $(BENCH_DIR)/lens-accuracy
lens-accuracy: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BENCH_DIR) --target sarn sarn_data sarn_lens_accuracy -j$(JOBS)
	$(BENCH_DIR)/tests/support/sarn_lens_accuracy $(BENCH_DIR)/sarn $(LENS_WORK)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

package: deps
	cmake -S . -B $(PKG_DIR) -DCMAKE_BUILD_TYPE=Release -DSARN_BUILD_TESTS=OFF \
	  -DSARN_BUILD_BENCHMARKS=OFF
	cmake --build $(PKG_DIR) -j$(JOBS)
	cd $(PKG_DIR) && cpack -G DEB
	@ls $(PKG_DIR)/*.deb

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR) $(BENCH_DIR) $(PKG_DIR)
