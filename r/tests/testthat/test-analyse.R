# analyse() on a data frame gives what `locprox analyse` gives on the same
# table. The program is found through LOCPROX_PROGRAM; without it, the
# comparison with the command line is skipped and the object's own
# consistency is checked.
program <- Sys.getenv("LOCPROX_PROGRAM")

command_line_results <- function(table, args) {
  folder <- tempfile("cli")
  status <- system2(program, c("analyse", table, "--out", folder, "--job", "data", args),
                    stdout = FALSE, stderr = FALSE)
  expect_equal(status, 0)
  folder
}

cases <- list(
  list(file = "small.csv", measure = "centred", args = c("--distance", "centred"), k = 2),
  list(file = "small.csv", measure = "plain", args = c("--correlation", "plain", "--unweighted"),
       weighted = FALSE, k = 2),
  list(file = "variety_trial.csv", measure = "fisher-z", args = character(), k = 3),
  list(file = "variety_trial.csv", measure = "standardised",
       args = c("--distance", "standardised"), k = 3)
)

for (case in cases) {
  test_that(paste("analyse() equals the command line:", case$file, case$measure), {
    data <- read.csv(test_path(case$file), stringsAsFactors = FALSE)
    weighted <- if (is.null(case$weighted)) TRUE else case$weighted
    result <- analyse(data, location = "site", entry = "variety", value = "yield",
                      measure = case$measure, weighted = weighted)
    expect_s3_class(result, "locprox")
    expect_s3_class(result$tree, "hclust")
    if (case$file == "small.csv") expect_equal(result$names, c("A", "B", "C"))
    expect_identical(as.data.frame(result), result$pairs)
    skip_if(program == "", "LOCPROX_PROGRAM not set")
    folder <- command_line_results(test_path(case$file),
                                   c("--location", "site", "--entry", "variety",
                                     "--value", "yield", "--groups", case$k, case$args))
    cli <- locprox:::read_results(folder, "data", "")
    expect_identical(result$matrix, cli$matrix)
    expect_identical(result$pairs, cli$pairs)
    expect_identical(result$tree$merge, cli$tree$merge)
    expect_identical(result$tree$height, cli$tree$height)
  })
}

test_that("bad inputs give R errors", {
  data <- read.csv(test_path("small.csv"), stringsAsFactors = FALSE)
  expect_error(analyse(data, location = "nowhere"), "nowhere")
  bad <- data
  bad$yield[1] <- 1e31
  expect_error(analyse(bad, location = "site", entry = "variety", value = "yield"))
  expect_error(analyse("not a frame"), "data frame")
})
