\name{analyse}
\alias{analyse}
\alias{print.locprox}
\alias{plot.locprox}
\alias{as.data.frame.locprox}
\title{Proximity of trial locations from a data frame}
\description{
Imports a trial data frame as \code{locprox import} does, runs the job and
summarises it, with the same C++ engine as the command \code{locprox analyse}.
}
\usage{
analyse(data, year = "year", location = "location", entry = "entry",
        value = "value",
        measure = c("fisher-z", "plain", "centred", "standardised"),
        weighted = TRUE, replicates = c("mean", "last"), from = NULL,
        to = NULL, groups = NULL, out = NULL)
\method{print}{locprox}(x, ...)
\method{plot}{locprox}(x, ...)
\method{as.data.frame}{locprox}(x, ...)
}
\arguments{
  \item{data}{a data frame, one row per plot.}
  \item{year, location, entry, value}{the names of its columns.}
  \item{measure}{the proximity measure.}
  \item{weighted}{whether the yearly values are weighted by entries in common.}
  \item{replicates}{several rows for one year, location and entry: their mean, or the last.}
  \item{from, to}{the first and last year analysed (names).}
  \item{groups}{a number of groups for the summary's account.}
  \item{out}{a folder that receives every file the command line writes.}
  \item{x}{an object of class \code{locprox}.}
  \item{...}{unused.}
}
\value{
An object of class \code{locprox}: \code{pairs} (the pairs table),
\code{matrix} (the averages), \code{tree} (an \code{hclust} object; pairs
never compared join at an infinite height), \code{names}, and \code{years}
and \code{stability} when the summary has them.
}
\examples{
data(small_trial)
result <- analyse(small_trial, location = "site", entry = "variety",
                  value = "yield", measure = "centred")
result$matrix
}
