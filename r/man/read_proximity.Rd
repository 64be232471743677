\name{read_proximity}
\alias{read_proximity}
\title{Read a proximity file}
\description{Reads a proximity file made by the command line (not yet available).}
\usage{read_proximity(path, year = NULL)}
\arguments{
  \item{path}{the proximity file.}
  \item{year}{the year whose sums are read; by default the last.}
}
\value{An object of class \code{locprox}.}
