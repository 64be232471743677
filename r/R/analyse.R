#' @useDynLib locprox, .registration = TRUE
NULL

analyse <- function(data, year = "year", location = "location", entry = "entry",
                    value = "value",
                    measure = c("fisher-z", "plain", "centred", "standardised"),
                    weighted = TRUE, replicates = c("mean", "last"), from = NULL,
                    to = NULL, groups = NULL, out = NULL) {
  measure <- match.arg(measure)
  replicates <- match.arg(replicates)
  if (!is.data.frame(data)) stop("data must be a data frame")
  for (column in c(year, location, entry, value)) {
    if (!column %in% names(data)) stop(sprintf("data has no column '%s'", column))
  }
  values <- data[[value]]
  if (!is.numeric(values)) stop(sprintf("column '%s' is not numeric", value))
  text_of <- function(x) {
    x <- as.character(x)
    x[is.na(x)] <- ""
    x
  }
  value_text <- sprintf("%.17g", values)
  value_text[is.na(values) & !is.nan(values)] <- "NA"
  table <- data.frame(year = text_of(data[[year]]), location = text_of(data[[location]]),
                      entry = text_of(data[[entry]]), value = value_text,
                      stringsAsFactors = FALSE)
  folder <- if (is.null(out)) tempfile("locprox") else out
  if (is.null(out)) on.exit(unlink(folder, recursive = TRUE), add = TRUE)
  scratch <- tempfile("locprox_table")
  dir.create(scratch)
  on.exit(unlink(scratch, recursive = TRUE), add = TRUE)
  table_path <- file.path(scratch, "data.csv")
  utils::write.csv(table, table_path, row.names = FALSE, na = "")
  if (!is.null(groups)) groups <- as.integer(groups) else groups <- 0L
  if (!is.null(from)) from <- as.character(from)
  if (!is.null(to)) to <- as.character(to)
  result <- analyse_table_files(table_path, folder, "data", "data", "year", "location",
                                "entry", "value", measure, isTRUE(weighted),
                                replicates == "last", from, to, groups,
                                file.path(scratch, "messages"))
  if (result$status != 0) {
    message <- sub("\n+$", "", result$errors)
    if (!nzchar(message)) message <- "the analysis was refused"
    stop(message, call. = FALSE)
  }
  read_results(folder, "data", result$output)
}

# The summary's tables in `folder` as one object.
read_results <- function(folder, stem, account) {
  path <- function(ending) file.path(folder, paste0(stem, ending))
  pairs <- utils::read.csv(path(".pairs.csv"), stringsAsFactors = FALSE,
                           check.names = FALSE)
  matrix_table <- utils::read.csv(path(".matrix.csv"), stringsAsFactors = FALSE,
                                  check.names = FALSE, row.names = 1)
  averages <- as.matrix(matrix_table)
  storage.mode(averages) <- "double"
  names <- rownames(averages)
  dimnames(averages) <- list(names, names)
  tree_table <- utils::read.csv(path(".tree.csv"), stringsAsFactors = FALSE)
  tree <- tree_of(tree_table, names)
  object <- list(pairs = pairs, matrix = averages, tree = tree, names = names,
                 account = account)
  for (extra in c("years", "stability")) {
    file <- path(paste0(".", extra, ".csv"))
    if (file.exists(file)) object[[extra]] <- utils::read.csv(file, stringsAsFactors = FALSE)
  }
  groups_file <- path(".groups.csv")
  if (file.exists(groups_file)) object$groups <- utils::read.csv(groups_file, stringsAsFactors = FALSE)
  structure(object, class = "locprox")
}

# tree.csv's merges as an hclust object; the leaves' order follows the merges.
tree_of <- function(table, labels) {
  merge <- cbind(as.integer(table$merge1), as.integer(table$merge2))
  leaves <- function(step) {
    unlist(lapply(merge[step, ], function(m) if (m < 0) -m else leaves(m)))
  }
  order <- if (nrow(merge) > 0) leaves(nrow(merge)) else seq_along(labels)
  structure(list(merge = merge, height = as.numeric(table$height), order = order,
                 labels = labels, method = "average", call = match.call(),
                 dist.method = "locprox"), class = "hclust")
}

print.locprox <- function(x, ...) {
  cat(x$account)
  invisible(x)
}

as.data.frame.locprox <- function(x, ...) x$pairs

plot.locprox <- function(x, ...) {
  m <- x$matrix[x$tree$order, x$tree$order, drop = FALSE]
  old <- graphics::par(no.readonly = TRUE)
  on.exit(graphics::par(old))
  graphics::layout(matrix(1:2, nrow = 2), heights = c(1, 2))
  finite <- x$tree
  finite$height[!is.finite(finite$height)] <- max(c(0, finite$height[is.finite(finite$height)])) * 1.1 + 1
  plot(finite, main = "", xlab = "", sub = "")
  graphics::image(seq_len(nrow(m)), seq_len(ncol(m)), m, axes = FALSE, xlab = "", ylab = "")
  graphics::axis(1, seq_len(nrow(m)), rownames(m), las = 2)
  graphics::axis(2, seq_len(ncol(m)), colnames(m), las = 2)
  invisible(x)
}

read_proximity <- function(path, year = NULL) {
  stop("read_proximity() is not available yet")
}
